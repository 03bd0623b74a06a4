#pragma once

#include <QObject>

// Kept for the photo-transfer area's object tree; carries no state.
class tfmodel : public QObject
{
    Q_OBJECT

public:
    explicit tfmodel(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
};
