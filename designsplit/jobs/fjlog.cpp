#include "designsplit/jobs/fjlog.h"

Q_LOGGING_CATEGORY(lcDesignSplit, "velquora.designsplit")
