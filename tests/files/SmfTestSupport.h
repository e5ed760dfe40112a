#pragma once
// Hand-built MIDI file bytes and a scripted user for the MIDI file tests.

#include "document/UserServices.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// The body of one "MTrk" chunk, message by message; every call starts with its delta time.
class CTrackBytes {
public:
    CTrackBytes& Raw(std::initializer_list<uint8_t> bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    CTrackBytes& Delta(uint32_t delta)
    {
        uint8_t groups[5];
        int count = 0;
        do {
            groups[count++] = delta & 0x7F;
            delta >>= 7;
        } while (delta != 0);
        while (count > 1)
            m_bytes.push_back(groups[--count] | 0x80);
        m_bytes.push_back(groups[0]);
        return *this;
    }
    CTrackBytes& On(uint32_t delta, int channel, int key, int velocity)
    {
        return Delta(delta).Raw({uint8_t(0x90 | channel), uint8_t(key), uint8_t(velocity)});
    }
    CTrackBytes& Off(uint32_t delta, int channel, int key, int velocity)
    {
        return Delta(delta).Raw({uint8_t(0x80 | channel), uint8_t(key), uint8_t(velocity)});
    }
    CTrackBytes& Meta(uint32_t delta, uint8_t type, const std::string& text)
    {
        Delta(delta).Raw({0xFF, type});
        Delta(static_cast<uint32_t>(text.size()));
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return *this;
    }
    CTrackBytes& Name(const std::string& name) { return Meta(0, 0x03, name); }
    CTrackBytes& Tempo(uint32_t delta, uint32_t micros)
    {
        return Delta(delta).Raw(
            {0xFF, 0x51, 0x03, uint8_t(micros >> 16), uint8_t(micros >> 8), uint8_t(micros)});
    }
    CTrackBytes& End(uint32_t delta = 0) { return Delta(delta).Raw({0xFF, 0x2F, 0x00}); }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// A whole file, chunk by chunk.
class CFileBytes {
public:
    CFileBytes& Header(uint16_t format, uint16_t tracks, uint16_t division)
    {
        return Chunk("MThd", {uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8),
                              uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)});
    }
    CFileBytes& Track(const CTrackBytes& track) { return Chunk("MTrk", track.Bytes()); }
    // A chunk whose length field says declaredLength whatever the body holds.
    CFileBytes& Chunk(const char* id, const std::vector<uint8_t>& body, int64_t declaredLength = -1)
    {
        const auto length =
            static_cast<uint32_t>(declaredLength < 0 ? int64_t(body.size()) : declaredLength);
        m_bytes.insert(m_bytes.end(), id, id + 4);
        m_bytes.insert(m_bytes.end(), {uint8_t(length >> 24), uint8_t(length >> 16),
                                       uint8_t(length >> 8), uint8_t(length)});
        m_bytes.insert(m_bytes.end(), body.begin(), body.end());
        return *this;
    }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Answers every Yes/No question with m_answer and records what the core asked; messages are kept
// by the base (GetMessages).
class CScriptedUser : public CHeadlessUserServices {
public:
    bool AskYesNo(const std::string& question) override
    {
        m_questions.push_back(question);
        return m_answer;
    }
    std::string ChooseFileToOpen(const std::string& defaultExt, const std::string& filter) override
    {
        m_openRequests.push_back(defaultExt + " " + filter);
        return m_fileToOpen;
    }

    bool m_answer = true;
    std::string m_fileToOpen; // what the open dialog returns; empty = cancelled
    std::vector<std::string> m_questions;
    std::vector<std::string> m_openRequests;
};
