#pragma once

#include <QLoggingCategory>

// Log category of the file-import tool and the originals view.
Q_DECLARE_LOGGING_CATEGORY(lcImport)
