#pragma once
// One description of a record's layout serves both directions. A layout is a function template
// over an Io (CFieldWriter or CFieldReader) that lists the record's fields in file order, each
// with its wire type, the getter the writer uses and the setter the reader uses:
//
//     io.Field(kWireInt16, phrase, &CPhrase::GetTranspose, &CPhrase::SetTranspose);
//
// so the writer and the reader cannot drift apart.

#include "files/Archive.h"
#include "model/NodeAddress.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>

template <class W> struct CWire {};
inline constexpr CWire<uint8_t> kWireUInt8;
inline constexpr CWire<int16_t> kWireInt16;
inline constexpr CWire<uint16_t> kWireUInt16;
inline constexpr CWire<int32_t> kWireInt32;
inline constexpr CWire<CNoteValue> kWireNoteValue; // int32 ticks
inline constexpr CWire<CNodeAddress> kWireAddress; // int16 kind, int32 index
inline constexpr CWire<std::string> kWireString;   // length-prefixed 8-bit text

inline void Put(CArchiveWriter& ar, uint8_t v)
{
    ar.WriteUInt8(v);
}
inline void Put(CArchiveWriter& ar, int16_t v)
{
    ar.WriteInt16(v);
}
inline void Put(CArchiveWriter& ar, uint16_t v)
{
    ar.WriteUInt16(v);
}
inline void Put(CArchiveWriter& ar, int32_t v)
{
    ar.WriteInt32(v);
}
inline void Put(CArchiveWriter& ar, CNoteValue v)
{
    ar.WriteInt32(v.GetTicks());
}
inline void Put(CArchiveWriter& ar, const CNodeAddress& v)
{
    ar.WriteInt16(static_cast<int16_t>(v.m_kind));
    ar.WriteInt32(v.m_index);
}
inline void Put(CArchiveWriter& ar, const std::string& v)
{
    ar.WriteString(v);
}

template <class W> W Get(CArchiveReader& ar);
template <> inline uint8_t Get<uint8_t>(CArchiveReader& ar)
{
    return ar.ReadUInt8();
}
template <> inline int16_t Get<int16_t>(CArchiveReader& ar)
{
    return ar.ReadInt16();
}
template <> inline uint16_t Get<uint16_t>(CArchiveReader& ar)
{
    return ar.ReadUInt16();
}
template <> inline int32_t Get<int32_t>(CArchiveReader& ar)
{
    return ar.ReadInt32();
}
template <> inline CNoteValue Get<CNoteValue>(CArchiveReader& ar)
{
    return CNoteValue(ar.ReadInt32());
}
template <> inline CNodeAddress Get<CNodeAddress>(CArchiveReader& ar)
{
    const auto kind = static_cast<uint16_t>(ar.ReadInt16());
    return CNodeAddress(kind, ar.ReadInt32());
}
template <> inline std::string Get<std::string>(CArchiveReader& ar)
{
    return ar.ReadString();
}

// A value read from the file, converting to whatever type the setter takes (bool, an enum, a
// colour word, ...).
template <class W> struct CLoaded {
    W value;
    template <class T> operator T() const { return static_cast<T>(value); }
};

class CFieldWriter {
public:
    explicit CFieldWriter(CArchiveWriter& ar) : m_ar(ar) {}

    template <class W, class Obj, class Getter, class Setter>
    void Field(CWire<W>, const Obj& obj, Getter get, Setter)
    {
        decltype(auto) value = std::invoke(get, obj);
        if constexpr (std::is_arithmetic_v<W>) {
            Put(m_ar, static_cast<W>(value)); // bools, enums and colour words alike
        } else {
            Put(m_ar, value);
        }
    }

    CArchiveWriter& m_ar;
};

class CFieldReader {
public:
    explicit CFieldReader(CArchiveReader& ar) : m_ar(ar) {}

    template <class W, class Obj, class Getter, class Setter>
    void Field(CWire<W>, Obj& obj, Getter, Setter set)
    {
        std::invoke(set, obj, CLoaded<W>{Get<W>(m_ar)});
    }

    CArchiveReader& m_ar;
};

// A field that is a plain data member of a struct (placement values, project texts, defaults).
template <class Io, class W, class Obj, class Struct, class M>
void MemberField(Io& io, CWire<W> wire, Obj& obj, M Struct::*member)
{
    io.Field(
        wire, obj, [member](const Struct& s) -> const M& { return s.*member; },
        [member](Struct& s, const M& value) { s.*member = value; });
}
