// The control's class factory: the plugin root object a container creates the control through.
#include "control/core/control.h"
#include "qx/interface/control_factory.h"

#include <QObject>

namespace qx::control {

class QXCameraCtrlFactory : public QObject, public QxControlFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QxControlFactory_iid FILE "qxcameractrl.json")
    Q_INTERFACES(qx::QxControlFactory)

public:
    QWidget* createControl(QWidget* parent, UiHost* uiHost) override {
        return new CMorvelQxWebCtrl(parent, uiHost);
    }
};

} // namespace qx::control

#include "plugin.moc"
