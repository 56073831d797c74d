// The plugin side of creating the control by class id, and the container side that finds it.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <memory>

class QWidget;
class QPluginLoader;

namespace qx {

class UiHost;

// Implemented by the control plugin's root object (the class factory).
class QxControlFactory {
public:
    virtual ~QxControlFactory() = default;
    // Creates the control as a child widget of `parent`. `uiHost` (borrowed, may be null for real Qt
    // dialogs) must outlive the control. The caller owns the widget through Qt's parent.
    virtual QWidget* createControl(QWidget* parent, UiHost* uiHost) = 0;
};

// A control plugin loaded by a container. Keeps the plugin loaded as long as it lives.
class ControlPlugin {
public:
    ControlPlugin();
    ~ControlPlugin();
    ControlPlugin(const ControlPlugin&) = delete;
    ControlPlugin& operator=(const ControlPlugin&) = delete;

    // Loads the plugin file at `path`; it must carry `clsid` in its metadata.
    bool loadFile(const QString& path, const QString& clsid);
    // Loads the first plugin in `folder` whose metadata carries `clsid`.
    bool loadFromFolder(const QString& folder, const QString& clsid);

    QxControlFactory* factory() const { return m_factory; }
    QString fileName() const;
    QString errorText() const { return m_error; }
    QJsonObject metaData() const; // the plugin's own metadata (CLSID, ProgID, Version)

private:
    std::unique_ptr<QPluginLoader> m_loader;
    QxControlFactory* m_factory = nullptr;
    QString m_error;
};

} // namespace qx

#define QxControlFactory_iid "QXCAMERA.QxControlFactory/1.0"
Q_DECLARE_INTERFACE(qx::QxControlFactory, QxControlFactory_iid)
