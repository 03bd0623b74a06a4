#include "transferphotos/tflog.h"

Q_LOGGING_CATEGORY(lcTransfer, "velquora.transferphotos")
