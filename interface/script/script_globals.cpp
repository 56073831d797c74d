// The shared script globals: the host object's script-side shape, print, and the DISPID-backed control.
#include "script_globals.h"

#include "script_host.h"

#include "qx/interface/members.h"

#include <QJSEngine>
#include <cstdio>

namespace qx::script {

namespace {

// Gives `host` its script-side shape: variadic invoke and a live `messages` list.
constexpr const char* kBootstrap = R"JS(
(function (h) {
    var host = {
        answer: function (kind, value) { h.answer(kind, value === undefined ? null : value); },
        wait: function (ms) { h.wait(ms === undefined ? 0 : ms); },
        invoke: function (dispid) { return h.invokeList(dispid, Array.prototype.slice.call(arguments, 1)); },
        get: function (dispid) { return h.get(dispid); },
        put: function (dispid, value) { h.put(dispid, value); },
        env: function (name) { return h.env(String(name)); },
        window: function (kind) { return h.window(String(kind)); },
        waitEvent: function (name, ms) { return h.waitEvent(String(name), ms === undefined ? 0 : ms); },
        onEvent: function (name, handler) { h.onEvent(String(name), handler === undefined ? null : handler); },
        args: h.args,
        controlInfo: h.controlInfo
    };
    Object.defineProperty(host, "messages", { get: function () { return h.messages; } });
    return host;
})
)JS";

constexpr const char* kPrint = R"JS(
(function (h) {
    return function () {
        var parts = [];
        for (var i = 0; i < arguments.length; ++i) parts.push(String(arguments[i]));
        h.printLine(parts.join(" "));
    };
})
)JS";

// Each member becomes a property with a getter and a setter, or a variadic function.
constexpr const char* kDispatchObject = R"JS(
(function (h, members) {
    var control = {};
    members.forEach(function (m) {
        if (m.property) {
            Object.defineProperty(control, m.name, {
                get: function () { return h.get(m.dispid); },
                set: function (v) { h.put(m.dispid, v); },
                enumerable: true
            });
        } else {
            control[m.name] = function () {
                return h.invokeList(m.dispid, Array.prototype.slice.call(arguments));
            };
        }
    });
    return control;
})
)JS";

} // namespace

void installHostGlobals(QJSEngine& engine, ScriptHost* host) {
    QJSValue hostObject = engine.evaluate(QString::fromLatin1(kBootstrap)).call({engine.newQObject(host)});
    QJSValue print = engine.evaluate(QString::fromLatin1(kPrint)).call({engine.newQObject(host)});
    engine.globalObject().setProperty(QStringLiteral("host"), hostObject);
    engine.globalObject().setProperty(QStringLiteral("print"), print);
}

QJSValue makeDispatchObject(QJSEngine& engine, ScriptHost* host) {
    QJSValue members = engine.newArray(automation::kMemberCount);
    quint32 i = 0;
    for (const automation::Member& m : automation::kMembers) {
        QJSValue entry = engine.newObject();
        entry.setProperty(QStringLiteral("dispid"), m.dispid);
        entry.setProperty(QStringLiteral("name"), QString::fromLatin1(m.name));
        entry.setProperty(QStringLiteral("property"), m.kind == automation::MemberKind::Property);
        members.setProperty(i++, entry);
    }
    return engine.evaluate(QString::fromLatin1(kDispatchObject)).call({engine.newQObject(host), members});
}

int handlerStatus(const char* program, const QString& scriptPath, const ScriptHost& host) {
    if (host.handlerError().isEmpty())
        return 0;
    std::fprintf(stderr, "%s: %s: %s\n", program, scriptPath.toUtf8().constData(),
                 host.handlerError().toUtf8().constData());
    return 1;
}

int reportScriptError(const char* program, const QString& scriptPath, const QJSValue& error) {
    const QString where = QStringLiteral("%1:%2").arg(scriptPath).arg(error.property("lineNumber").toInt());
    std::fprintf(stderr, "%s: %s: %s\n", program, where.toUtf8().constData(),
                 error.toString().toUtf8().constData());
    const QString stack = error.property(QStringLiteral("stack")).toString();
    if (!stack.isEmpty())
        std::fprintf(stderr, "%s\n", stack.toUtf8().constData());
    return 1;
}

} // namespace qx::script
