#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

// One photo of a thumbnail list: what the thumbnail grid shows and selects,
// and what the windows that build the list hand to their jobs.
struct ThumbnailPhoto
{
    QString id;
    QString name;
    // Initial selection in the grid; windows also keep the user's choice here.
    bool selected = false;
    QString localPath;
    // Picture fetched by the grid when iconPath is empty.
    QString imageUrl;
    QString filePath;
    QString fileUrl;
    // A local file or ":/" resource shown instead of the downloaded picture.
    QString iconPath = QStringLiteral("");
    // False: the grid offers no check button and select-all passes it over.
    bool selectable = true;
    // Reduced copies that belong to the photo and are deleted with it.
    QStringList companionFiles;
};

Q_DECLARE_METATYPE(ThumbnailPhoto)
