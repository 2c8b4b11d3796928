#include "DialogTemplate.h"

#include <cstring>

namespace {

class Reader {
public:
    Reader(const BYTE* data, std::size_t size) : m_data(data), m_size(size) {}

    template <typename T>
    bool Read(T& value)
    {
        if (m_size - m_offset < sizeof value)
            return Fail("ends inside a field");
        std::memcpy(&value, m_data + m_offset, sizeof value);
        m_offset += sizeof value;
        return true;
    }

    bool ReadString(std::wstring& text)
    {
        text.clear();
        for (;;) {
            WCHAR character;
            if (!Read(character))
                return false;
            if (character == 0)
                return true;
            text.push_back(character);
        }
    }

    // A name or an ordinal: 0x0000 (none), 0xFFFF followed by an ordinal, or a string.
    bool ReadNameOrOrdinal(std::wstring& text, bool isClass)
    {
        WORD first;
        if (!Read(first))
            return false;
        if (first == 0) {
            text.clear();
            return true;
        }
        if (first == 0xFFFF) {
            WORD ordinal;
            if (!Read(ordinal))
                return false;
            text = isClass ? PredefinedClass(ordinal) : L"#" + std::to_wstring(ordinal);
            return true;
        }
        m_offset -= sizeof first;
        return ReadString(text);
    }

    bool AlignToDword()
    {
        const std::size_t aligned = (m_offset + 3) & ~std::size_t{3};
        if (aligned > m_size)
            return Fail("ends before an item");
        m_offset = aligned;
        return true;
    }

    bool Skip(std::size_t count)
    {
        if (m_size - m_offset < count)
            return Fail("ends inside an item's data");
        m_offset += count;
        return true;
    }

    const std::string& Error() const { return m_error; }

private:
    static std::wstring PredefinedClass(WORD ordinal)
    {
        switch (ordinal) {
        case 0x80:
            return L"Button";
        case 0x81:
            return L"Edit";
        case 0x82:
            return L"Static";
        case 0x83:
            return L"ListBox";
        case 0x84:
            return L"ScrollBar";
        case 0x85:
            return L"ComboBox";
        default:
            return L"#" + std::to_wstring(ordinal);
        }
    }

    bool Fail(const char* reason)
    {
        m_error = reason;
        return false;
    }

    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
    std::string m_error;
};

} // namespace

bool ParseDialogTemplate(const BYTE* data, std::size_t size, DialogTemplate& result, std::string& error)
{
    Reader reader(data, size);
    DialogTemplate dialog;
    WORD itemCount = 0;
    bool ok = reader.Read(dialog.version) && reader.Read(dialog.signature);
    if (ok && (dialog.version != 1 || dialog.signature != 0xFFFF)) {
        error = "not an extended dialog template";
        return false;
    }
    ok = ok && reader.Read(dialog.helpId) && reader.Read(dialog.exStyle) && reader.Read(dialog.style)
        && reader.Read(itemCount) && reader.Read(dialog.x) && reader.Read(dialog.y) && reader.Read(dialog.cx)
        && reader.Read(dialog.cy) && reader.ReadNameOrOrdinal(dialog.menu, false)
        && reader.ReadNameOrOrdinal(dialog.className, false) && reader.ReadString(dialog.caption);
    if (ok && (dialog.style & (DS_SETFONT | DS_SHELLFONT)))
        ok = reader.Read(dialog.pointSize) && reader.Read(dialog.weight) && reader.Read(dialog.italic)
            && reader.Read(dialog.charset) && reader.ReadString(dialog.typeface);
    for (WORD index = 0; ok && index < itemCount; ++index) {
        DialogItemTemplate item;
        ok = reader.AlignToDword() && reader.Read(item.helpId) && reader.Read(item.exStyle) && reader.Read(item.style)
            && reader.Read(item.x) && reader.Read(item.y) && reader.Read(item.cx) && reader.Read(item.cy)
            && reader.Read(item.id) && reader.ReadNameOrOrdinal(item.className, true)
            && reader.ReadNameOrOrdinal(item.text, false) && reader.Read(item.extraCount)
            && reader.Skip(item.extraCount);
        if (ok)
            dialog.items.push_back(item);
    }
    if (!ok) {
        error = reader.Error();
        return false;
    }
    result = dialog;
    return true;
}

std::vector<BYTE> LoadResourceBytes(LPCWSTR type, WORD id, WORD language)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
    if (!resource)
        return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return {};
    const BYTE* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + SizeofResource(module, resource));
}
