// The GlobalShortcuts portal: a session, one bound shortcut, its Activated signal.
#include "qx/desktop/portal_shortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QRandomGenerator>

namespace qx::desktop {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

// The portal's answer to the version question comes at once; a portal that hangs must not hold up
// the start of the program.
constexpr int kQuestionMs = 3000;

// One shortcut as BindShortcuts takes it: (id, {description, preferred_trigger}).
struct ShortcutEntry {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& out, const ShortcutEntry& entry) {
    out.beginStructure();
    out << entry.id << entry.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, ShortcutEntry& entry) {
    in.beginStructure();
    in >> entry.id >> entry.properties;
    in.endStructure();
    return in;
}

QString newToken() {
    return QStringLiteral("qxcamera%1").arg(QRandomGenerator::global()->generate());
}

QString senderPart(const QDBusConnection& bus) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return sender;
}

} // namespace

} // namespace qx::desktop

Q_DECLARE_METATYPE(qx::desktop::ShortcutEntry)

namespace qx::desktop {

PortalShortcut::PortalShortcut(QObject* parent) : QObject(parent) {
    qDBusRegisterMetaType<ShortcutEntry>();
    qDBusRegisterMetaType<QList<ShortcutEntry>>();
}

PortalShortcut::~PortalShortcut() {
    release();
}

bool PortalShortcut::bind(const QString& preferredTrigger, const QString& description) {
    release();
    m_trigger = preferredTrigger;
    m_description = description;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        finish(State::Unavailable, QStringLiteral("no session bus"));
        return false;
    }
    QDBusMessage question = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    question << kInterface << QStringLiteral("version");
    const QDBusMessage version = bus.call(question, QDBus::Block, kQuestionMs);
    if (version.type() != QDBusMessage::ReplyMessage) {
        finish(
            State::Unavailable,
            QStringLiteral("the desktop portal offers no GlobalShortcuts (%1)").arg(version.errorMessage()));
        return false;
    }

    // The whole message, so that a portal that adds arguments later still reaches the slot.
    m_listening = bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                              SLOT(onActivated(QDBusMessage)));
    const QString token = newToken();
    expectResponse(token, SLOT(onSessionResponse(uint, QVariantMap)));
    QDBusMessage create =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
    create << QVariantMap{{QStringLiteral("handle_token"), token},
                          {QStringLiteral("session_handle_token"), newToken()}};
    m_state = State::Binding;
    const QDBusMessage reply = bus.call(create, QDBus::Block, kQuestionMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        dropResponse();
        finish(State::Unavailable, QStringLiteral("CreateSession failed: ") + reply.errorMessage());
        return false;
    }
    return true;
}

QString PortalShortcut::expectResponse(const QString& token, const char* slot) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_requestPath = QStringLiteral("%1/request/%2/%3").arg(kPath, senderPart(bus), token);
    m_responseSlot = slot;
    bus.connect(kService, m_requestPath, kRequest, QStringLiteral("Response"), this, slot);
    return m_requestPath;
}

void PortalShortcut::dropResponse() {
    if (m_requestPath.isEmpty())
        return;
    QDBusConnection::sessionBus().disconnect(kService, m_requestPath, kRequest, QStringLiteral("Response"),
                                             this, m_responseSlot);
    m_requestPath.clear();
    m_responseSlot = nullptr;
}

void PortalShortcut::onSessionResponse(uint response, const QVariantMap& results) {
    dropResponse();
    if (m_state != State::Binding)
        return;
    if (response != 0) {
        finish(State::Refused,
               QStringLiteral("the portal declined the shortcut session (response %1)").arg(response));
        return;
    }
    // Portals answer the handle as a string, as the interface says, or as an object path.
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    m_session = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                    ? handle.value<QDBusObjectPath>().path()
                    : handle.toString();
    if (m_session.isEmpty()) {
        finish(State::Refused, QStringLiteral("the portal answered no session"));
        return;
    }
    const QString token = newToken();
    expectResponse(token, SLOT(onBindResponse(uint, QVariantMap)));
    QDBusMessage bindCall =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("BindShortcuts"));
    const QList<ShortcutEntry> shortcuts{
        {QLatin1String(kShortcutId),
         {{QStringLiteral("description"), m_description}, {QStringLiteral("preferred_trigger"), m_trigger}}}};
    bindCall << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts) << QString()
             << QVariantMap{{QStringLiteral("handle_token"), token}};
    const QDBusMessage reply = QDBusConnection::sessionBus().call(bindCall, QDBus::Block, kQuestionMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        dropResponse();
        finish(State::Refused, QStringLiteral("BindShortcuts failed: ") + reply.errorMessage());
    }
}

void PortalShortcut::onBindResponse(uint response, const QVariantMap&) {
    dropResponse();
    if (m_state != State::Binding)
        return;
    if (response != 0) {
        finish(State::Refused,
               QStringLiteral("the portal declined the shortcut (response %1)").arg(response));
        return;
    }
    finish(State::Bound);
}

void PortalShortcut::onActivated(const QDBusMessage& message) {
    // (session handle, shortcut id, timestamp, options)
    const QVariantList args = message.arguments();
    if (args.size() < 2 || m_state != State::Bound)
        return;
    const QVariant handle = args.at(0);
    const QString session = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                                ? handle.value<QDBusObjectPath>().path()
                                : handle.toString();
    if (session == m_session && args.at(1).toString() == QLatin1String(kShortcutId))
        emit activated();
}

void PortalShortcut::release() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    dropResponse();
    if (m_listening) {
        bus.disconnect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                       SLOT(onActivated(QDBusMessage)));
        m_listening = false;
    }
    if (!m_session.isEmpty()) {
        bus.call(QDBusMessage::createMethodCall(kService, m_session,
                                                QStringLiteral("org.freedesktop.portal.Session"),
                                                QStringLiteral("Close")),
                 QDBus::NoBlock);
        m_session.clear();
    }
    m_state = State::Off;
    m_failure.clear();
}

void PortalShortcut::finish(State state, const QString& failure) {
    m_state = state;
    m_failure = failure;
    emit stateChanged(state);
}

} // namespace qx::desktop
