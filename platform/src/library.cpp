// Shared-library loading through dlopen, with the loader's own words kept for error reports.
#include "qx/platform/library.h"

#include <QFile>

#include <dlfcn.h>
#include <utility>

namespace qx::platform {

namespace {

QString takeDlError(const char* fallback) {
    const char* text = dlerror();
    return QString::fromLocal8Bit(text != nullptr ? text : fallback);
}

} // namespace

Library::~Library() {
    unload();
}

Library::Library(Library&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_path(std::move(other.m_path)),
      m_error(std::move(other.m_error)) {
    other.m_path.clear();
    other.m_error.clear();
}

Library& Library::operator=(Library&& other) noexcept {
    if (this != &other) {
        unload();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
        other.m_path.clear();
        other.m_error.clear();
    }
    return *this;
}

bool Library::load(const QString& path) {
    unload();
    m_error.clear();
    // dlopen("") hands back the main program, which is never what a caller naming a file wants.
    if (path.isEmpty()) {
        m_error = QStringLiteral("no library path given");
        return false;
    }
    dlerror();
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        m_error = takeDlError("dlopen failed");
        return false;
    }
    m_handle = handle;
    m_path = path;
    return true;
}

void Library::unload() {
    if (m_handle != nullptr) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
    m_path.clear();
}

void* Library::symbol(const char* name) {
    if (m_handle == nullptr) {
        m_error = QStringLiteral("no library loaded");
        return nullptr;
    }
    if (name == nullptr) {
        m_error = QStringLiteral("no symbol name given");
        return nullptr;
    }
    // A symbol may legitimately hold the value null, so only dlerror() tells failure apart.
    dlerror();
    void* address = dlsym(m_handle, name);
    const char* text = dlerror();
    if (text != nullptr) {
        m_error = QString::fromLocal8Bit(text);
        return nullptr;
    }
    m_error.clear();
    return address;
}

} // namespace qx::platform
