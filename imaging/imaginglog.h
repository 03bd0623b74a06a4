#pragma once

#include <QLoggingCategory>

// Log category of the picture code: decodes, turns, upright and reduced
// copies, photo jobs.
Q_DECLARE_LOGGING_CATEGORY(lcImaging)
