#include "transferphotos/jobs/tflog.h"

Q_LOGGING_CATEGORY(lcTransfer, "velquora.transferphotos")
