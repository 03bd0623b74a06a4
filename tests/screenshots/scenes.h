#pragma once

#include <QString>

class QLineEdit;
class QWidget;
class ShotRunner;

// The scenes of each area: they add their steps and shots to the runner.
void addLoginScenes(ShotRunner &r);
void addTransferScenes(ShotRunner &r);
void addSharedWidgetScenes(ShotRunner &r);
void addDesignSplitScenes(ShotRunner &r);
void addImportScenes(ShotRunner &r);
void addBatchDeleteScenes(ShotRunner &r);
void addPickerScenes(ShotRunner &r);

// Steps several scenes share.
namespace SceneSteps {

// Closes everything the previous scene left open.
void cleanStart(ShotRunner &r);
// Opens the login window the way the program starts, logs in with the
// demo account and waits for the tool chooser.
void loginToChooser(ShotRunner &r, const QString &account = QStringLiteral("demo"));
// Double-clicks a card of the chooser and waits for its tool window (of
// the given class) to be shown.
void openTool(ShotRunner &r, const QString &cardTitle, const char *windowClass);

// Starts a scene on a tool window: logs in, opens the card's window and
// takes its idle screenshot.
void toolScene(ShotRunner &r, const QString &scene, const QString &cardTitle, const char *windowClass);

// Types text into a line edit as a user would (keys, not setText).
void typeInto(QLineEdit *edit, const QString &text);
// Clicks a widget with the left button at its centre.
void click(QWidget *widget);

} // namespace SceneSteps
