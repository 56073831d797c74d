// What a feature of the control knows of the control: its log, boxes, window and settings.
#pragma once

#include "control/core/control_settings.h"

#include <QString>

class QWidget;

namespace qx {
class UiHost;
}

namespace qx::control {

class OutsideLibraries;

// The control implements this for its feature classes, which hold a reference to it and nothing else
// of the control. The automation properties are not here: a feature takes what it needs of them in
// its request and hands back what changes in its result, and only the automation object maps them.
// The automation object stays a thin surface and each feature can be read alone.
class ControlContext {
public:
    virtual void writeLog(const QString& text) = 0;
    // Every dialog and box of the control goes through the container's UI host.
    virtual UiHost& uiHost() = 0;
    // The control window: owner of the control's own boxes and dialogs, target of its private events.
    virtual QWidget* controlWindow() = 0;
    // The task-modal error box captioned "Error!", shown whatever bShowMsgBox says.
    virtual void errorBox(const QString& text) = 0;
    // The control's own message box: owner the control window, default caption, OK.
    virtual void ownMessageBox(const QString& text) = 0;
    // The values of "OCXConfig.ini"; the black-and-white mode resets a threshold out of range.
    virtual ControlSettings& settings() = 0;
    virtual OutsideLibraries& libraries() = 0;
    // The folder of the control's own file, with a trailing '/'.
    virtual QString controlFolder() const = 0;

protected:
    ~ControlContext() = default;
};

} // namespace qx::control
