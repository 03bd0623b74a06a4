#pragma once

#include <QLoggingCategory>

// Log category of the photo-transfer engine and windows.
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)
