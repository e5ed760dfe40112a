#pragma once
// The program's commands: one table of ids with their menu texts and keys, and the chain that
// offers a command (and its enabling) to the active view, its frame, the main frame and the
// application, in that order.

#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

enum class ECommand {
    // "&Project"
    New,
    Open,
    Close,
    Save,
    SaveAs,
    SaveAll,
    Properties,
    RecentFile1,
    RecentFile2,
    RecentFile3,
    RecentFile4,
    Exit,
    // "&Edit"
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    Delete,
    // "&Control"
    ResetOutputs,
    SendInstrumentSettings,
    // "&Options"
    Devices,
    Ports,
    Sync,
    Metronome,
    Recording,
    Synth,
    EditingOptions,
    HarmonicScale,
    // "&Window"
    Cascade,
    TileHorizontally,
    TileVertically,
    ArrangeIcons,
    RepositionTransport,
    OpenProjectWindow,
    OpenTracksWindow,
    OpenMixerWindow,
    // "&Help"
    Help,
    HelpContents,
    HelpIndex,
    HelpSearch,
    HelpSupport,
    About,
    // Keys without a menu entry; the views that offer them handle them.
    OpenItem,
    AddItem,
    RemoveItem,
    InsertItem,
    Rename,
    SelectAll,
    ContextHelp,
    PlayStop,
    RecordSwitch,
    // The project tree's phrase-bank file commands.
    ImportBank,
    ExportBank,
};

struct CCommandInfo {
    ECommand id;
    // Menu text with its "&" mnemonic and "\t" key part, exactly as shown; empty for key-only
    // commands.
    const char* text;
    // Name for key-only commands (tooltips, help).
    const char* name;
    QList<QKeySequence> keys;
};

// Every command, in menu order.
const std::vector<CCommandInfo>& CommandTable();
const CCommandInfo& CommandInfo(ECommand id);
ECommand RecentFileCommand(int index);

// What the update step decides about a command before its menu shows or its key runs it.
struct CCommandUi {
    bool enabled = false;
    bool checked = false;
    // Empty keeps the table's text.
    QString text;
    // Hide the entry (the unused recent-file entries).
    bool hidden = false;
    // Why the entry is disabled, shown as its tip and in the status bar; empty for none.
    QString reason;
};

// One link of the routing chain. Each answers true when it handled the command.
class CCommandTarget {
public:
    virtual ~CCommandTarget() = default;
    virtual bool OnCommand(ECommand id) = 0;
    virtual bool OnUpdateCommand(ECommand id, CCommandUi& ui) = 0;
};

// The chain, asked afresh each time (the active view changes with the active window).
class CCommandRouter {
public:
    using ChainSource = std::function<std::vector<CCommandTarget*>()>;
    explicit CCommandRouter(ChainSource chain) : m_chain(std::move(chain)) {}

    // The state of the command; a command nobody handles is disabled.
    CCommandUi Update(ECommand id) const;
    // Runs the command when its update step enables it; true when it ran.
    bool Execute(ECommand id) const;

private:
    ChainSource m_chain;
};
