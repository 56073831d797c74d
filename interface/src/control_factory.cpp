// Finds and loads the control plugin by its class id, the way a container creates a control.
#include "qx/interface/control_factory.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonValue>
#include <QPluginLoader>

namespace qx {

namespace {
QString clsidOf(const QJsonObject& pluginMeta) {
    return pluginMeta.value(QLatin1String("MetaData")).toObject().value(QLatin1String("CLSID")).toString();
}
} // namespace

ControlPlugin::ControlPlugin() = default;

ControlPlugin::~ControlPlugin() {
    // The plugin stays mapped: widgets it created may still be alive in the container, and Qt unloads
    // plugins itself at exit.
}

bool ControlPlugin::loadFile(const QString& path, const QString& clsid) {
    m_factory = nullptr;
    if (!QFileInfo::exists(path)) {
        m_error = QStringLiteral("control file not found: %1").arg(path);
        return false;
    }
    auto loader = std::make_unique<QPluginLoader>(path);
    const QJsonObject meta = loader->metaData();
    if (meta.isEmpty()) {
        m_error = QStringLiteral("%1 is not a Qt plugin").arg(path);
        return false;
    }
    if (clsidOf(meta).compare(clsid, Qt::CaseInsensitive) != 0) {
        m_error = QStringLiteral("%1 does not provide class %2").arg(path, clsid);
        return false;
    }
    QObject* root = loader->instance();
    if (!root) {
        m_error = loader->errorString();
        return false;
    }
    auto* factory = qobject_cast<QxControlFactory*>(root);
    if (!factory) {
        m_error = QStringLiteral("%1 has no control class factory").arg(path);
        return false;
    }
    m_loader = std::move(loader);
    m_factory = factory;
    m_error.clear();
    return true;
}

bool ControlPlugin::loadFromFolder(const QString& folder, const QString& clsid) {
    const QDir dir(folder);
    const QStringList files = dir.entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name);
    for (const QString& f : files) {
        const QString path = dir.filePath(f);
        QPluginLoader probe(path);
        if (clsidOf(probe.metaData()).compare(clsid, Qt::CaseInsensitive) == 0)
            return loadFile(path, clsid);
    }
    m_error = QStringLiteral("no control with class %1 in %2").arg(clsid, folder);
    return false;
}

QString ControlPlugin::fileName() const {
    return m_loader ? m_loader->fileName() : QString();
}

QJsonObject ControlPlugin::metaData() const {
    return m_loader ? m_loader->metaData().value(QLatin1String("MetaData")).toObject() : QJsonObject();
}

} // namespace qx
