// A look at the controls as a user sees them: the transport window on a project and a panel
// with every value control, button face and the status display. With --shots DIR it saves a
// picture of each window (at the screen's pixel ratio) and quits; otherwise it stays open.

#include "controls/ButtonBitmap.h"
#include "controls/EditValue.h"
#include "controls/Fader.h"
#include "controls/Knob.h"
#include "controls/SelectList.h"
#include "controls/Theme.h"
#include "controls/WndStatusDisplay.h"
#include "devices/virtual/VirtualBackend.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectManager.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Profile.h"
#include "shell/DlgMetronome.h"
#include "shell/WndTransport.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

QLabel* Label(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(CTheme::SmallFont());
    return label;
}

QWidget* MakePanel()
{
    auto* panel = new QWidget;
    panel->setWindowTitle(QStringLiteral("Controls"));
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    palette.setColor(QPalette::WindowText, CTheme::PanelLabel());
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
    auto* grid = new QGridLayout(panel);
    int row = 0;
    auto add = [&](const QString& name, QWidget* w) {
        grid->addWidget(Label(name, panel), row, 0);
        grid->addWidget(w, row++, 1);
        w->setMinimumWidth(90);
    };
    auto* number = new CEditNumber(panel);
    number->SetValue(-1234);
    add(QStringLiteral("Number"), number);
    auto* byte = new CEditByte(panel);
    byte->SetValue(100);
    byte->setEnabled(false);
    add(QStringLiteral("Byte (disabled)"), byte);
    auto* position = new CEditTime(CEditTime::EForm::Position, panel);
    position->SetValue(384 * 7 + 100);
    add(QStringLiteral("Position"), position);
    auto* length = new CEditTime(CEditTime::EForm::Length, panel);
    length->SetValue(-400);
    add(QStringLiteral("Length"), length);
    auto* note = new CEditNote(panel);
    note->SetValue(61);
    add(QStringLiteral("Note (focused)"), note);
    auto* pan = new CEditPan(panel);
    pan->SetValue(52);
    add(QStringLiteral("Pan"), pan);
    auto* tempo = new CEditTempo(panel);
    tempo->SetValue(13275);
    add(QStringLiteral("Tempo (editing)"), tempo);
    auto* undefined = new CEditNumber(panel);
    undefined->SetUndefined();
    add(QStringLiteral("Undefined"), undefined);
    auto* snap = new CSelectList(CSelectList::EMode::OwnList, panel);
    for (const CNoteValueEntry& e : NoteValueTable())
        snap->AddItem(e.m_ticks, QString::fromUtf8(e.m_shortName), QString::fromUtf8(e.m_longName));
    snap->SetValue(24);
    add(QStringLiteral("Snap"), snap);
    auto* device = new CSelectList(CSelectList::EMode::NotifyOnly, panel);
    device->SetSelection(0, QStringLiteral("Synth A"));
    add(QStringLiteral("Device"), device);

    auto* knobs = new QWidget(panel);
    auto* knobRow = new QHBoxLayout(knobs);
    knobRow->setContentsMargins(0, 0, 0, 0);
    for (int v : {0, 40, 100, 127}) {
        auto* k = new CKnob(CKnob::EKind::Value, knobs);
        k->SetValue(v);
        k->setFixedSize(28, 28);
        knobRow->addWidget(k);
    }
    for (int v : {0, 64, 100}) {
        auto* k = new CKnob(CKnob::EKind::Pan, knobs);
        k->SetValue(v);
        k->setFixedSize(28, 28);
        knobRow->addWidget(k);
    }
    add(QStringLiteral("Knobs"), knobs);

    auto* faces = new QWidget(panel);
    auto* faceGrid = new QGridLayout(faces);
    faceGrid->setContentsMargins(0, 0, 0, 0);
    faceGrid->setSpacing(3);
    for (int art = 0; art <= static_cast<int>(EArtwork::ZoomOutV); ++art)
        for (int state = 0; state < 3; ++state) {
            auto* b = new CButtonBitmap(faces);
            b->SetArtwork(static_cast<EArtwork>(art));
            b->SetLatched(state == 1);
            b->setEnabled(state != 2);
            b->setFixedSize(23, 19);
            faceGrid->addWidget(b, state, art);
        }
    auto* black = new CButtonBitmap(faces);
    black->setFixedSize(23, 19);
    faceGrid->addWidget(black, 0, static_cast<int>(EArtwork::ZoomOutV) + 1);
    grid->addWidget(faces, row++, 0, 1, 3);

    auto* status = new CWndStatusDisplay(panel);
    status->RegisterEditorTags();
    status->SetText(QStringLiteral("<<Desc>>Note: <<Name>>C#4 <<Desc>>Start: <<Value>>3.2.17 "
                                   "<<Text>>(plain) <<Desc>>Vel: <<Value>>100"));
    grid->addWidget(status, row++, 0, 1, 3);

    auto* fader = new CFader(panel);
    fader->SetValue(100);
    fader->setFixedSize(22, 180);
    grid->addWidget(fader, 0, 2, 8, 1);

    QTimer::singleShot(0, note, [note, tempo] {
        note->setFocus();
        tempo->OpenEditor(QStringLiteral("132.7"), false);
    });
    return panel;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int shotsAt = static_cast<int>(args.indexOf(QStringLiteral("--shots")));
    const QString shots = shotsAt >= 0 && shotsAt + 1 < args.size() ? args[shotsAt + 1] : QString();

    CVirtualBackend backend{{"Synth A", "Synth B"}, {"Keys"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    proxy.AttachEngine(&engine);
    proxy.Initialise(false);
    CEnginePlayerLink link{proxy};
    CScriptedUserServices user;
    CMemoryProfile profile;
    CProjectManager manager{
        user, profile, &link, {}, [](CProjectDoc&, const std::string&) { return false; }};
    CProjectDoc& doc = manager.NewProject();
    doc.SetTempo(12650);
    doc.SetSongPosition(384 * 12 + 96 * 2 + 5);
    doc.SetLoopOn(true);
    doc.SetLoopStart(384 * 4);
    doc.SetLoopEnd(384 * 8);
    proxy.SetRecording(true);

    CWndTransport transport(manager, proxy, profile);
    transport.RefreshFromModel();
    transport.ToggleBlink();
    transport.move(20, 20);
    transport.show();
    QWidget* panel = MakePanel();
    panel->move(20, 140);
    panel->show();
    proxy.OpenOutputDriver(0);
    CDlgMetronome metronome(proxy, &transport);
    metronome.move(520, 20);
    metronome.show();

    if (!shots.isEmpty()) {
        QTimer::singleShot(400, [&] {
            QDir().mkpath(shots);
            transport.grab().save(shots + QStringLiteral("/transport.png"));
            panel->grab().save(shots + QStringLiteral("/controls.png"));
            metronome.grab().save(shots + QStringLiteral("/metronome.png"));
        });
        // Stays up a while longer for a screenshot of the whole screen.
        QTimer::singleShot(3000, &app, &QApplication::quit);
    }
    const int result = app.exec();
    delete panel;
    proxy.ShutDown();
    return result;
}
