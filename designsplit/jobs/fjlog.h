#pragma once

#include <QLoggingCategory>

// Log category of the design-split and download tools.
Q_DECLARE_LOGGING_CATEGORY(lcDesignSplit)
