// A session-wide shortcut through the desktop portal's GlobalShortcuts interface, for Wayland
// sessions, where no program may grab keys.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace qx::desktop {

// One shortcut, bound in a portal session of its own. Binding takes two portal requests
// (CreateSession, then BindShortcuts), each answered later by a Response signal: the portal may ask
// the user which keys to use first, so bind() only starts it and stateChanged() tells the outcome.
// Lives on the GUI thread; the bus delivers its signals there.
class PortalShortcut : public QObject {
    Q_OBJECT
public:
    enum class State {
        Off,         // nothing asked, or released
        Binding,     // asked, the portal has not answered yet
        Bound,       // the portal bound it: activated() follows the keys
        Unavailable, // no session bus, no portal, or a portal without GlobalShortcuts
        Refused,     // the portal (or the user) declined
    };

    static constexpr const char* kShortcutId = "capture";

    explicit PortalShortcut(QObject* parent = nullptr);
    ~PortalShortcut() override;
    PortalShortcut(const PortalShortcut&) = delete;
    PortalShortcut& operator=(const PortalShortcut&) = delete;

    // Starts binding `preferredTrigger` (the shortcut notation of the portal, "CTRL+z") with
    // `description` shown to the user. False, with state() Unavailable and the reason in failure(),
    // when the session cannot bind shortcuts at all; a binding held before is released first.
    bool bind(const QString& preferredTrigger, const QString& description);
    // Closes the portal session, so the portal forgets the binding.
    void release();

    State state() const { return m_state; }
    QString failure() const { return m_failure; }

signals:
    void activated();
    void stateChanged(qx::desktop::PortalShortcut::State state);

private slots:
    void onSessionResponse(uint response, const QVariantMap& results);
    void onBindResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusMessage& message);

private:
    // Subscribes `slot` to the Response of the request a call with `token` will make; the path is
    // known before the call, so the answer cannot slip past.
    QString expectResponse(const QString& token, const char* slot);
    void dropResponse();
    void finish(State state, const QString& failure = {});

    State m_state = State::Off;
    QString m_failure;
    QString m_trigger;
    QString m_description;
    QString m_requestPath; // the request whose Response is awaited
    const char* m_responseSlot = nullptr;
    QString m_session;
    bool m_listening = false;
};

} // namespace qx::desktop
