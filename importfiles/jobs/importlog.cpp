#include "importfiles/jobs/importlog.h"

Q_LOGGING_CATEGORY(lcImport, "velquora.importfiles")
