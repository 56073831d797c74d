// The globals every scripting host of the system gives its scripts: `host`, `print`, and errors reported.
#pragma once

#include <QJSValue>
#include <QString>

class QJSEngine;

namespace qx::script {

class ScriptHost;

// Publishes `host` (its script-side shape: variadic invoke, a live `messages` list) and `print`.
void installHostGlobals(QJSEngine& engine, ScriptHost* host);

// A JavaScript object whose properties and methods are the control's members by their automation
// names, each call going through `host`'s DISPID calls.
QJSValue makeDispatchObject(QJSEngine& engine, ScriptHost* host);

// Writes the script's exception and its stack to standard error as "<program>: <file>:<line>: ...";
// returns the exit status of a script that threw (1).
int reportScriptError(const char* program, const QString& scriptPath, const QJSValue& error);
// The status of a script that ran to its end: 1, with the reason on standard error, when one of its
// event handlers threw meanwhile, else 0.
int handlerStatus(const char* program, const QString& scriptPath, const ScriptHost& host);

} // namespace qx::script
