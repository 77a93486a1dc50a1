#include "core/store/RegistryValueStore.h"

#include <windows.h>

#include "core/platform/Codepage.h"

namespace voxilo {
namespace {

HKEY handle(ValueStore::Key key) {
    return reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key));
}

// Names and paths go to the ANSI entry points as CP932; a name CP932 cannot hold cannot be
// stored at all.
std::optional<std::string> ansi(std::u16string_view text) {
    std::string bytes;
    if (cp932::encode(text, bytes)) return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<ValueStore::Key> RegistryValueStore::openKey(std::u16string_view path) {
    const auto name = ansi(path);
    if (!name) return std::nullopt;
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, name->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, &security, &key, &disposition) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return static_cast<Key>(reinterpret_cast<std::uintptr_t>(key));
}

void RegistryValueStore::closeKey(Key key) { RegCloseKey(handle(key)); }

std::optional<std::int16_t> RegistryValueStore::readInteger(Key key, std::u16string_view name) {
    const auto valueName = ansi(name);
    if (!valueName) return std::nullopt;
    BYTE bytes[2] = {0, 0};
    DWORD length = sizeof bytes;
    DWORD type = 0;
    if (RegQueryValueExA(handle(key), valueName->c_str(), nullptr, &type, bytes, &length) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
}

std::optional<std::string> RegistryValueStore::readText(Key key, std::u16string_view name,
                                                        std::size_t bufferBytes) {
    const auto valueName = ansi(name);
    if (!valueName) return std::nullopt;
    std::string buffer(bufferBytes, '\0');
    DWORD length = static_cast<DWORD>(bufferBytes);
    DWORD type = 0;
    if (RegQueryValueExA(handle(key), valueName->c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &length) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    buffer.resize(std::min<std::size_t>(length, buffer.find('\0')));
    return buffer;
}

bool RegistryValueStore::writeInteger(Key key, std::u16string_view name, std::int16_t value) {
    const auto valueName = ansi(name);
    const auto bits = static_cast<std::uint16_t>(value);
    const BYTE bytes[2] = {static_cast<BYTE>(bits & 0xFF), static_cast<BYTE>(bits >> 8)};
    return valueName && RegSetValueExA(handle(key), valueName->c_str(), 0, REG_BINARY, bytes,
                                       sizeof bytes) == ERROR_SUCCESS;
}

bool RegistryValueStore::writeText(Key key, std::u16string_view name, std::string_view bytes) {
    const auto valueName = ansi(name);
    const std::string data = std::string(bytes) + '\0';
    return valueName && RegSetValueExA(handle(key), valueName->c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(data.data()),
                                       static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool RegistryValueStore::deleteValue(Key key, std::u16string_view name) {
    const auto valueName = ansi(name);
    return valueName && RegDeleteValueA(handle(key), valueName->c_str()) == ERROR_SUCCESS;
}

bool RegistryValueStore::deleteKey(std::u16string_view path) {
    const auto keyName = ansi(path);
    return keyName && RegDeleteKeyA(HKEY_CURRENT_USER, keyName->c_str()) == ERROR_SUCCESS;
}

}  // namespace voxilo
