#include "controls/Commands.h"

#include <algorithm>

namespace {

QKeySequence Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    return QKeySequence(QKeyCombination(modifiers, key));
}

// A key of the numeric keypad with modifiers. X11 reports the keypad key to the shortcut map
// without the keypad modifier, so a shortcut bound only with it never fires there: bind the plain
// form too (the same key on the main keyboard then acts alike).
QList<QKeySequence> KeypadKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    return {Key(key, modifiers | Qt::KeypadModifier), Key(key, modifiers)};
}

std::vector<CCommandInfo> BuildTable()
{
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    return {
        {ECommand::New, "&New\tCtrl+N", "New", {Key(Qt::Key_N, ctrl)}},
        {ECommand::Open, "&Open...\tCtrl+O", "Open", {Key(Qt::Key_O, ctrl)}},
        {ECommand::Close, "&Close", "Close", {}},
        {ECommand::Save, "&Save\tCtrl+S", "Save", {Key(Qt::Key_S, ctrl)}},
        {ECommand::SaveAs, "Save &As...", "Save As", {}},
        {ECommand::SaveAll, "Save A&ll", "Save All", {}},
        {ECommand::Properties, "&Properties...", "Properties", {}},
        {ECommand::RecentFile1, "", "Recent file 1", {}},
        {ECommand::RecentFile2, "", "Recent file 2", {}},
        {ECommand::RecentFile3, "", "Recent file 3", {}},
        {ECommand::RecentFile4, "", "Recent file 4", {}},
        {ECommand::Exit, "E&xit", "Exit", {}},
        {ECommand::Undo,
         "&Undo\tCtrl+Z",
         "Undo",
         {Key(Qt::Key_Z, ctrl), Key(Qt::Key_Backspace, alt)}},
        {ECommand::Redo, "&Redo\tCtrl+Y", "Redo", {Key(Qt::Key_Y, ctrl)}},
        {ECommand::Cut, "Cu&t\tCtrl+X", "Cut", {Key(Qt::Key_X, ctrl)}},
        {ECommand::Copy,
         "&Copy\tCtrl+C",
         "Copy",
         {Key(Qt::Key_C, ctrl), Key(Qt::Key_Insert, ctrl)}},
        {ECommand::Paste,
         "&Paste\tCtrl+V",
         "Paste",
         {Key(Qt::Key_V, ctrl), Key(Qt::Key_Insert, Qt::ShiftModifier)}},
        {ECommand::Delete, "&Delete\tDel", "Delete", {Key(Qt::Key_Delete)}},
        {ECommand::ResetOutputs, "&Reset Outputs", "Reset Outputs", {}},
        {ECommand::SendInstrumentSettings,
         "&Send Instrument Settings",
         "Send Instrument Settings",
         {}},
        {ECommand::Devices, "&Devices...", "Devices", {}},
        {ECommand::Ports, "&Ports...", "Ports", {}},
        {ECommand::Sync, "&Sync...", "Sync", {}},
        {ECommand::Metronome, "&Metronome...", "Metronome", {}},
        {ECommand::Recording, "&Recording...", "Recording", {}},
        {ECommand::Synth, "S&ynth...", "Synth", {}},
        {ECommand::EditingOptions, "Project &Editing Options...", "Project Editing Options", {}},
        {ECommand::HarmonicScale, "&Harmonic Scale...", "Harmonic Scale", {}},
        {ECommand::Cascade, "&Cascade", "Cascade", {}},
        {ECommand::TileHorizontally, "&Tile Horizontaly", "Tile Horizontally", {}},
        {ECommand::TileVertically, "Tile &Vertically", "Tile Vertically", {}},
        {ECommand::ArrangeIcons, "&Arrange Icons", "Arrange Icons", {}},
        {ECommand::RepositionTransport,
         "&Reposition Transport Window",
         "Reposition Transport Window",
         {}},
        {ECommand::OpenProjectWindow,
         "Open Project Window\tAlt+1",
         "Open Project Window",
         {Key(Qt::Key_1, alt)}},
        {ECommand::OpenTracksWindow,
         "Open Tracks Window\tAlt+2",
         "Open Tracks Window",
         {Key(Qt::Key_2, alt)}},
        {ECommand::OpenMixerWindow,
         "Open Mixer Window\tAlt+3",
         "Open Mixer Window",
         {Key(Qt::Key_3, alt)}},
        {ECommand::Help, "&Help\tF1", "Help", {Key(Qt::Key_F1)}},
        {ECommand::HelpContents, "&Contents", "Help Contents", {}},
        {ECommand::HelpIndex, "&Index", "Help Index", {}},
        {ECommand::HelpSearch, "&Search", "Help Search", {}},
        {ECommand::HelpSupport, "Su&pport and contact", "Support and contact", {}},
        {ECommand::About, "&About Tonalweaver...", "About", {}},
        {ECommand::OpenItem, "", "Open the editor of the current item", {Key(Qt::Key_Return)}},
        {ECommand::AddItem, "", "Add an item", KeypadKey(Qt::Key_Plus, ctrl)},
        {ECommand::RemoveItem, "", "Remove an item", KeypadKey(Qt::Key_Minus, ctrl)},
        {ECommand::InsertItem, "", "Insert an item", {Key(Qt::Key_Insert)}},
        {ECommand::Rename, "", "Rename", {Key(Qt::Key_F2)}},
        {ECommand::SelectAll, "", "Select all", {Key(Qt::Key_A, ctrl)}},
        {ECommand::ContextHelp, "", "Context help", {Key(Qt::Key_F1, Qt::ShiftModifier)}},
        {ECommand::PlayStop, "", "Play or stop", {Key(Qt::Key_Space), Key(Qt::Key_Space, ctrl)}},
        {ECommand::RecordSwitch, "", "Recording on or off", {Key(Qt::Key_R, ctrl)}},
        {ECommand::ImportBank, "&Import from MIDI file", "Import from MIDI file", {}},
        {ECommand::ExportBank, "E&xport to MIDI file", "Export to MIDI file", {}},
    };
}

} // namespace

const std::vector<CCommandInfo>& CommandTable()
{
    static const std::vector<CCommandInfo> table = BuildTable();
    return table;
}

const CCommandInfo& CommandInfo(ECommand id)
{
    const auto& table = CommandTable();
    return *std::find_if(table.begin(), table.end(),
                         [id](const CCommandInfo& info) { return info.id == id; });
}

ECommand RecentFileCommand(int index)
{
    return static_cast<ECommand>(static_cast<int>(ECommand::RecentFile1) + index);
}

CCommandUi CCommandRouter::Update(ECommand id) const
{
    for (CCommandTarget* target : m_chain()) {
        CCommandUi ui;
        if (target->OnUpdateCommand(id, ui)) return ui;
    }
    return {};
}

bool CCommandRouter::Execute(ECommand id) const
{
    if (!Update(id).enabled) return false;
    for (CCommandTarget* target : m_chain())
        if (target->OnCommand(id)) return true;
    return false;
}
