#pragma once

#include <QLoggingCategory>

// Log category of the shared widgets.
Q_DECLARE_LOGGING_CATEGORY(lcPublic)
