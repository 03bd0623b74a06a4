#include "public/publiclog.h"

Q_LOGGING_CATEGORY(lcPublic, "velquora.public")
