#include "files/ProjectJson.h"

#include "document/ProjectDoc.h"
#include "files/JsonWriter.h"

namespace {

void Address(CJsonWriter& json, std::string_view key, const CNodeAddress& address)
{
    json.Pair(key, address.m_kind, address.m_index);
}

// The fields phrases and clips share; the caller closes the object.
void MidiData(CJsonWriter& json, const CMidiData& data)
{
    json.BeginObject();
    json.Field("id", data.GetId());
    json.Field("name", data.GetName());
    json.Field("colour", data.GetColour());
    json.Field("length", data.GetLength());
    json.Key("notes");
    json.BeginArray();
    for (const CNote& n : data.GetNotes()) {
        json.BeginArray();
        json.Int(n.m_start);
        json.Int(n.m_end);
        json.Int(n.m_pitch);
        json.Int(n.m_velocity);
        json.Int(n.m_offVelocity);
        json.EndArray();
    }
    json.EndArray();
    json.Key("events");
    json.BeginArray();
    for (const CMidiEvent& e : data.GetEvents()) {
        json.BeginArray();
        json.Int(e.m_time);
        json.Int(e.m_kind);
        json.Int(e.m_data1);
        json.Int(e.m_data2);
        json.EndArray();
    }
    json.EndArray();
}

void Phrase(CJsonWriter& json, const CPhrase& p)
{
    MidiData(json, p);
    Address(json, "input", p.GetInput());
    json.Pair("trigger", p.GetTriggerFrom(), p.GetTriggerTo());
    json.Field("keyFollow", p.GetKeyFollow());
    json.Field("startQuantize", p.GetStartQuantize().GetTicks());
    json.Field("stopQuantize", p.GetStopQuantize().GetTicks());
    Address(json, "output", p.GetOutput());
    json.Field("channel", p.GetOutputChannel());
    json.Field("playMode", static_cast<int32_t>(p.GetPlayMode()));
    json.Field("loop", p.GetLoop());
    json.Field("hold", p.GetHold());
    json.Field("continue", p.GetContinue());
    json.Field("velocity", p.GetVelocityOffset());
    json.Field("transpose", p.GetTranspose());
    json.Field("outputQuantize", p.GetOutputQuantize().GetTicks());
    json.Field("delay", p.GetDelay());
    json.Pair("pitchLimit", p.GetPitchLimitFrom(), p.GetPitchLimitTo());
    json.Pair("velocityLimit", p.GetVelocityLimitFrom(), p.GetVelocityLimitTo());
    json.EndObject();
}

void Track(CJsonWriter& json, const CTrack& t)
{
    json.BeginObject();
    json.Field("id", t.GetId());
    json.Field("name", t.GetName());
    json.Field("colour", t.GetColour());
    Address(json, "output", t.GetOutput());
    json.Field("channel", t.GetOutputChannel());
    json.Field("velocity", t.GetVelocityOffset());
    json.Field("transpose", t.GetTranspose());
    json.Field("playQuantize", t.GetPlayQuantize().GetTicks());
    json.Field("delay", t.GetDelay());
    json.Pair("pitchLimit", t.GetPitchLimitFrom(), t.GetPitchLimitTo());
    json.Pair("velocityLimit", t.GetVelocityLimitFrom(), t.GetVelocityLimitTo());
    json.Field("program", t.GetProgram());
    json.Field("volume", t.GetVolume());
    json.Field("pan", t.GetPan());
    json.Field("solo", t.GetSolo());
    json.Field("mute", t.GetMute());
    json.Field("record", t.GetRecord());
    json.Field("input", t.GetInput());
    json.Field("property2", t.GetProperty2Value());
    json.Key("clips");
    json.BeginArray();
    for (int32_t i = 0; i < t.GetClipCount(); ++i) {
        const CClip& clip = t.GetClipAt(i);
        MidiData(json, clip);
        json.Field("start", clip.GetStart());
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

} // namespace

std::string ProjectToJson(const CProjectDoc& doc)
{
    CJsonWriter json;
    json.BeginObject();
    const CProjectInfo& info = doc.GetInfo();
    json.Field("title", info.m_title);
    json.Field("copyright", info.m_copyright);
    json.Field("author", info.m_author);
    json.Field("comment", info.m_comment);
    json.Field("tempo", doc.GetTempo());
    json.Pair("signature", doc.GetTimeSignature().GetNumerator(),
              doc.GetTimeSignature().GetDenominator());
    json.Key("scale");
    json.BeginObject();
    json.Field("key", doc.GetScale().GetKey());
    json.Field("mode", doc.GetScale().GetMode());
    json.EndObject();
    json.Field("songPosition", doc.GetSongPosition());
    json.Key("loop");
    json.BeginObject();
    json.Field("on", doc.IsLoopOn());
    json.Field("start", doc.GetLoopStart());
    json.Field("end", doc.GetLoopEnd());
    json.EndObject();
    json.Field("soloActive", doc.IsSoloActive());
    json.Field("muteActive", doc.IsMuteActive());
    const CEditDefaults& defaults = doc.GetEditDefaults();
    json.Key("defaults");
    json.BeginObject();
    json.Field("phraseBars", defaults.m_newPhraseBars);
    json.Field("clipBars", defaults.m_newClipBars);
    json.Field("snap", defaults.m_pianoRollSnap.GetTicks());
    json.Field("grid", defaults.m_pianoRollGrid.GetTicks());
    json.EndObject();
    json.Key("banks");
    json.BeginArray();
    for (int32_t b = 0; b < doc.GetBankCount(); ++b) {
        const CPhraseBank& bank = doc.GetBankAt(b);
        json.BeginObject();
        json.Field("name", bank.GetName());
        json.Key("phrases");
        json.BeginArray();
        for (int32_t i = 0; i < bank.GetCount(); ++i)
            Phrase(json, bank.GetPhraseAt(i));
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    json.Key("tracks");
    json.BeginArray();
    for (int32_t t = 0; t < doc.GetTracks().GetCount(); ++t)
        Track(json, *doc.GetTracks().GetAt(t));
    json.EndArray();
    json.EndObject();
    return json.GetText();
}
