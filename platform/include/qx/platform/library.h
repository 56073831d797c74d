// Loading a shared library by full path and binding its functions by name.
#pragma once

#include <QString>

namespace qx::platform {

// Owns one dlopen handle; unloads on destruction or unload(). Moving transfers ownership.
class Library {
public:
    Library() = default;
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;

    // Loads the file at `path` (RTLD_NOW | RTLD_LOCAL). Any library held before is unloaded first.
    // On failure returns false and errorText() tells why.
    bool load(const QString& path);
    void unload();
    bool isLoaded() const { return m_handle != nullptr; }

    // The address of the exported symbol `name`, or nullptr (errorText() then tells why).
    void* symbol(const char* name);

    template <typename Fn> Fn function(const char* name) { return reinterpret_cast<Fn>(symbol(name)); }

    QString errorText() const { return m_error; }
    QString path() const { return m_path; }

private:
    void* m_handle = nullptr;
    QString m_path;
    QString m_error;
};

} // namespace qx::platform
