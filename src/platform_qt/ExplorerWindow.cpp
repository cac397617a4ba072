// ExplorerWindow: the explorer's widgets, their layout, and the timer that follows the run.
#include "platform_qt/ExplorerWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <filesystem>

#include "frontend/ChangeRecord.h"
#include "frontend/ExplorerSession.h"
#include "frontend/FrontEndGlobals.h"
#include "frontend/MenuResources.h"
#include "frontend/RunSequence.h"
#include "image3d/Image3D24.h"
#include "movie/MovieRecorder.h"
#include "platform/Platform.h"
#include "platform_qt/ExplorerView.h"
#include "rdsimul/ReaDifSimulation.h"
#include "rdsimul/ReactionModels.h"
#include "toolkit/FileCheck.h"
#include "toolkit/MessageIds.h"
#include "toolkit/RandomGenerator.h"
#include "toolkit/StringTable.h"

namespace {

// How often the window draws a computing run: at most at the screen's rate, and so that its
// frames (the colour map and the drawing) take at most ViewShare of the window thread's time,
// which on a small machine the run's threads lose twice over (one held back, the other waiting
// for it at the end of a batch). A change shows within a slice and a tick, whatever the pace.
constexpr double FastestInterval = 1.0 / 60.0;
constexpr double SlowestInterval = 0.25;
constexpr double ViewShare = 0.04;
// How often the panel's values follow a computing run (a drift, a replayed change).
constexpr double ValuesInterval = 0.25;

using Kind = ScheduledChange::Kind;

constexpr int SliderSteps = 1000;

QString Text(int message) { return QString::fromUtf8(GST.Get(message)); }

QString Format(int message, char letter) {
    return QString::fromUtf8(GST.Get(message)).replace(QStringLiteral("%c"), QChar(letter));
}

bool French() { return GST.GetCurrentLanguage() == StringTable::French; }

// The number as a script writes it.
QString Number(double value) { return QString::fromStdString(ChangeRecord::FormatNumber(value)); }

}  // namespace

ExplorerWindow::ExplorerWindow(QWidget *owner, std::function<void(int command)> sendCommand)
    : QWidget(owner, Qt::Window), SendCommand(std::move(sendCommand)) {
    setWindowTitle(Text(MsgExplorerTitle));
    resize(1000, 700);
    Picture = std::make_unique<Image3D24>("explorer", 1, 1, 1, 0);

    auto *layout = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    Live = new ExplorerView(this);
    left->addWidget(Live, 1);
    Status = new QLabel(this);
    left->addWidget(Status);
    auto *transport = new QHBoxLayout;
    auto button = [this, transport](int message, const std::function<void()> &action) {
        auto *b = new QPushButton(Text(message), this);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, action);
        transport->addWidget(b);
        return b;
    };
    auto send = [this](int command) {
        // From the event loop, as a menu command arrives: Run does not return until the run
        // ends, and must not run inside this click.
        QTimer::singleShot(0, this, [this, command] {
            if (SendCommand) SendCommand(command);
        });
    };
    button(MsgExplorerRunPause,
           [send] { send(RunFlag == 1 ? MenuCommand::Pause : MenuCommand::Run); });
    button(MsgExplorerStep, [] { TheExplorer.Ask(ExplorerSession::Request::Step); });
    button(MsgExplorerRestart, [] { TheExplorer.Ask(ExplorerSession::Request::Restart); });
    button(MsgExplorerUndo, [] { TheExplorer.Ask(ExplorerSession::Request::Undo); });
    button(MsgExplorerRedo, [] { TheExplorer.Ask(ExplorerSession::Request::Redo); });
    RecordButton = button(MsgExplorerRecordMovie, [] {});
    RecordButton->setCheckable(true);
    connect(RecordButton, &QPushButton::toggled, this, [this](bool on) {
        if (on) {
            StartRecording();
        } else {
            StopRecording();
        }
    });
    auto *tiled = new QCheckBox(Text(MsgExplorerTiled), this);
    tiled->setFocusPolicy(Qt::NoFocus);
    connect(tiled, &QCheckBox::toggled, this, [this](bool on) { Live->SetTiled(on); });
    transport->addWidget(tiled);
    transport->addStretch(1);
    left->addLayout(transport);
    layout->addLayout(left, 3);

    auto *right = new QVBoxLayout;
    ModelHeading = new QLabel(this);
    ModelHeading->setWordWrap(true);
    right->addWidget(ModelHeading);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    Panel = new QWidget(scroll);
    PanelRows = new QFormLayout(Panel);
    // Each meaning above its slider and field: the slider gets the panel's width, whatever the
    // length of the meaning.
    PanelRows->setRowWrapPolicy(QFormLayout::WrapAllRows);
    scroll->setWidget(Panel);
    right->addWidget(scroll, 2);

    auto *brush = new QGroupBox(Text(MsgExplorerBrush), this);
    auto *brushRows = new QFormLayout(brush);
    BrushComponent = new QComboBox(brush);
    brushRows->addRow(Text(MsgExplorerComponent), BrushComponent);
    BrushValue = new QLineEdit(QStringLiteral("1"), brush);
    brushRows->addRow(Text(MsgExplorerValue), BrushValue);
    BrushRadius = new QDoubleSpinBox(brush);
    BrushRadius->setRange(0.5, 600.0);
    BrushRadius->setDecimals(1);
    BrushRadius->setValue(5.0);
    brushRows->addRow(Text(MsgExplorerRadius), BrushRadius);
    right->addWidget(brush);

    right->addWidget(new QLabel(Text(MsgExplorerRecord), this));
    Records = new QListWidget(this);
    Records->setFocusPolicy(Qt::NoFocus);
    right->addWidget(Records, 1);
    layout->addLayout(right, 2);

    Live->OnStroke = [this](int x, int y, bool shift, bool starts) {
        bool ok = false;
        const double value = QLocale::c().toDouble(BrushValue->text().trimmed(), &ok);
        if (!ok) return;
        (void)TheExplorer.Dab(BrushComponent->currentIndex(), shift, value, BrushRadius->value(), x,
                              y, starts);
    };
    Live->OnRadiusWheel = [this](int steps) {
        BrushRadius->setValue(steps > 0 ? BrushRadius->value() * 1.25
                                        : BrushRadius->value() / 1.25);
    };
    auto *undo = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Z")), this);
    connect(undo, &QShortcut::activated, this,
            [] { TheExplorer.Ask(ExplorerSession::Request::Undo); });
    auto *redo = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Z")), this);
    connect(redo, &QShortcut::activated, this,
            [] { TheExplorer.Ask(ExplorerSession::Request::Redo); });
    for (const char *keys : {"+", "-"}) {
        auto *zoom = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
        const bool in = keys[0] == '+';
        connect(zoom, &QShortcut::activated, this,
                [this, in] { Live->SetZoom(in ? Live->Zoom() * 1.25 : Live->Zoom() / 1.25); });
    }

    Ticker = new QTimer(this);
    Ticker->setInterval(16);
    connect(Ticker, &QTimer::timeout, this, &ExplorerWindow::Refresh);
}

ExplorerWindow::~ExplorerWindow() = default;

void ExplorerWindow::Open() {
    TheExplorer.SetOpen(true);
    // The panel first: fields made before the window shows are shown with it, and can take the
    // focus at once.
    Update();
    show();
    raise();
    activateWindow();
    Ticker->start();
    const std::vector<QLineEdit *> fields = Fields();
    if (!fields.empty()) {
        fields.front()->setFocus(Qt::ShortcutFocusReason);
        fields.front()->selectAll();
    }
}

void ExplorerWindow::closeEvent(QCloseEvent *event) {
    event->accept();
    // A movie of the view ends with the view.
    StopRecording();
    // Closed during a run, the session goes on following it unseen, so that the changes made
    // reach the script when the run is over.
    if (RunFlag == 1) return;
    Finish();
}

void ExplorerWindow::StartRecording() {
    if (Recorder) return;
    std::string path;
    const std::filesystem::path script(CurParamFileName);
    const std::string folder =
        script.has_parent_path() ? script.parent_path().string() : std::string(".");
    if (ThePlatform == nullptr ||
        !ThePlatform->FileDialog(true, GST.Get(MsgExplorerMovieFiles), "*.mp4 *.webp *.gif",
                                 folder.c_str(), "mp4", path, 4096)) {
        RecordButton->setChecked(false);
        return;
    }
    if (MovieEncoder::FormatOf(path) == MovieEncoder::Format::None) path += ".mp4";
    // What the view shows, one frame per picture it draws, played at 30 a second.
    Recorder = std::make_unique<MovieRecorder>(path, MovieSettings{});
}

void ExplorerWindow::StopRecording() {
    if (!Recorder) return;
    std::unique_ptr<MovieRecorder> recorder = std::move(Recorder);
    RecordButton->blockSignals(true);
    RecordButton->setChecked(false);
    RecordButton->blockSignals(false);
    QString text;
    if (recorder->Finish() == MovieEncoder::Done) {
        char done[400];
        std::snprintf(done, sizeof done, GST.Get(MsgExplorerMovieWritten), recorder->Path().c_str(),
                      static_cast<int>(recorder->Frames()));
        Status->setText(QString::fromUtf8(done));
        return;
    }
    FileFault fault;
    fault.Error = recorder->Error();
    const std::string report =
        FaultReport(GST.Get(MsgExplorerMovieFailed), recorder->Path().c_str(), fault);
    if (ThePlatform != nullptr) {
        ThePlatform->MessageBox(true, report.c_str(), GST.Get(MsgCaptionError),
                                Platform::BoxIconExclamation);
    }
}

void ExplorerWindow::Finish() {
    StopRecording();
    Ticker->stop();
    // The record is written into the script before the session forgets it.
    TheExplorer.Poll();
    TheExplorer.SetOpen(false);
}

std::vector<QLineEdit *> ExplorerWindow::Fields() const {
    std::vector<QLineEdit *> fields;
    for (const Row &row : Rows) fields.push_back(row.Field);
    return fields;
}

const ReaDifSimulation *ExplorerWindow::Followed() {
    if (RunFlag == 1 && MainRDSim.ComponentCount > 0) return &MainRDSim;
    if (ThePlatform == nullptr) return nullptr;
    const std::string text = ThePlatform->GetEditorText();
    if (!SideSim || text != SideText) {
        if (!SideSim)
            SideSim = std::make_unique<ReaDifSimulation>(ReaDifSimulation::ComponentSlots);
        SideText = text;
        ScriptParser parser;
        int position = 0;
        // Checked as a script of the current name, never written; the parse seeds the program's
        // generator, which is given back its seed.
        const uint32_t seed = MainRandom.GetSeed();
        SideAccepted = parser.ParseText(*SideSim, CurParamFileName, text, position, 1) ==
                       ScriptParser::Accepted;
        MainRandom.Randomize(seed);
    }
    return SideAccepted ? SideSim.get() : nullptr;
}

void ExplorerWindow::AddRow(const QString &label, Kind what, int key, double value, double low,
                            double high) {
    Row row;
    row.What = what;
    row.Key = key;
    row.Low = std::min(low, value);
    row.High = std::max(high, value);
    auto *line = new QWidget(Panel);
    auto *h = new QHBoxLayout(line);
    h->setContentsMargins(0, 0, 0, 0);
    row.Slider = new QSlider(Qt::Horizontal, line);
    row.Slider->setRange(0, SliderSteps);
    row.Slider->setFocusPolicy(Qt::ClickFocus);
    row.Field = new QLineEdit(line);
    row.Field->setMaximumWidth(110);
    h->addWidget(row.Slider, 1);
    h->addWidget(row.Field);
    PanelRows->addRow(label, line);
    const size_t index = Rows.size();
    Rows.push_back(row);
    ShowValue(Rows[index], value);
    connect(row.Field, &QLineEdit::returnPressed, this, [this, index] {
        bool ok = false;
        const double typed = QLocale::c().toDouble(Rows[index].Field->text().trimmed(), &ok);
        if (ok) Apply(Rows[index], typed);
    });
    connect(row.Slider, &QSlider::sliderMoved, this, [this, index](int position) {
        Row &r = Rows[index];
        r.Field->setText(Number(r.Low + (r.High - r.Low) * position / SliderSteps));
    });
    connect(row.Slider, &QSlider::sliderReleased, this, [this, index] {
        Row &r = Rows[index];
        Apply(r, r.Low + (r.High - r.Low) * r.Slider->value() / SliderSteps);
    });
}

std::string ExplorerWindow::Signature(const ReaDifSimulation &sim) {
    // Two formula scripts of one model may read different parameters.
    std::string names;
    for (int i = 0;
         ModelIsFormula(ReactionModelId(sim.ModelIndex)) && i < sim.Formula.ParameterCount(); ++i) {
        names += sim.Formula.ParameterNameAt(i);
        names += '\n';
    }
    return names;
}

void ExplorerWindow::BuildPanel(const ReaDifSimulation &sim) {
    while (PanelRows->rowCount() > 0) PanelRows->removeRow(0);
    Rows.clear();
    Rows.reserve(64);
    BrushComponent->clear();
    PanelModel = sim.ModelIndex;
    PanelComponents = sim.ComponentCount;
    PanelSignature = Signature(sim);
    const ReactionModelInfo &model = ReactionModelTable[sim.ModelIndex];
    ModelHeading->setText(
        QString::fromUtf8(GST.Get(MsgExplorerModel)).replace(QStringLiteral("%s"), model.Name));
    // Every parameter the model reads, from its typical value to twice it.
    for (int i = 0; i < model.ParameterCount(); ++i) {
        const ModelParameter &parameter = model.Parameters[i];
        const char *name = ReactionParameterNames[int(parameter.Field)];
        const int key = ReaDifSimulation::ParameterKey(name, true);
        const double typical = parameter.Typical;
        const double low = typical < 0 ? 2 * typical : 0.0;
        const double high = typical > 0 ? 2 * typical : typical < 0 ? 0.0 : 1.0;
        const QString label = QStringLiteral("%1 - %2").arg(
            QString::fromLatin1(name),
            QString::fromUtf8(French() ? parameter.MeaningFrench : parameter.Meaning));
        AddRow(label, Kind::Modpar, key, sim.ReactionParameters[key][0], low, high);
    }
    // The formula model's parameters are the names its formulas read: from 0 to twice their
    // value (a negative one from twice it to 0).
    for (int i = 0;
         ModelIsFormula(ReactionModelId(sim.ModelIndex)) && i < sim.Formula.ParameterCount(); ++i) {
        const int key = sim.Formula.ParameterKeyAt(i);
        const double value = sim.ReactionParameters[key][0];
        const QString label =
            QString::fromUtf8(GST.Get(MsgExplorerFormulaParameter))
                .replace(QStringLiteral("%s"), QString::fromUtf8(sim.Formula.ParameterNameAt(i)));
        AddRow(label, Kind::Modpar, key, value, value < 0 ? 2 * value : 0.0,
               value > 0   ? 2 * value
               : value < 0 ? 0.0
                           : 1.0);
    }
    for (int c = 0; c < sim.ComponentCount; ++c) {
        const char letter = char('A' + c);
        BrushComponent->addItem(QString(QChar(letter)));
        if (ModelReacts(ReactionModelId(sim.ModelIndex))) {
            AddRow(Format(MsgExplorerReaction, letter), Kind::Reaction, c, sim.ReactionStrength[c],
                   0.0, std::max(0.05, 4 * sim.ReactionStrength[c]));
        }
        AddRow(Format(MsgExplorerDiffusion, letter), Kind::Diffusion, c, sim.DiffusionCoeff[c], 0.0,
               1.0);
    }
}

double ExplorerWindow::CurrentValue(const ReaDifSimulation &sim, const Row &row) const {
    switch (row.What) {
        case Kind::Modpar:
            return sim.ReactionParameters[row.Key][0];
        case Kind::Reaction:
            return sim.ReactionStrength[row.Key];
        default:
            return sim.DiffusionCoeff[row.Key];
    }
}

void ExplorerWindow::ShowValue(Row &row, double value) {
    // A typed value beyond the slider widens its range.
    row.Low = std::min(row.Low, value);
    row.High = std::max(row.High, value);
    const double span = row.High - row.Low;
    row.Slider->blockSignals(true);
    row.Slider->setValue(span > 0 ? int(std::lround((value - row.Low) / span * SliderSteps)) : 0);
    row.Slider->blockSignals(false);
    if (!row.Field->hasFocus()) row.Field->setText(Number(value));
}

void ExplorerWindow::Apply(Row &row, double value) {
    ScheduledChange change;
    change.What = row.What;
    change.Key = row.Key;
    change.Value = value;
    if (TheExplorer.ChangeSetting(change)) {
        row.Field->setText(Number(value));
        ShowValue(row, value);
    }
}

void ExplorerWindow::RefreshPicture() {
    if (!Shown.Field) return;
    const Image3DFloat &field = *Shown.Field;
    const int w = field.GetSizeX();
    const int h = field.GetSizeY();
    // Written straight in the screen's own format, in one pass: drawing it is then a plain
    // (scaled) copy. The two images take turns, so that the one written is not the one the view
    // still holds (no copy on write).
    QImage &shown = Frames[NextFrame];
    NextFrame = 1 - NextFrame;
    if (shown.width() != w || shown.height() != h) shown = QImage(w, h, QImage::Format_RGB32);
    if (shown.isNull()) return;
    // The maps the rule points at are the script's: they stay as parsed while the run goes on.
    if (!Shown.Rule.ConvertToPixels(field, reinterpret_cast<uint32_t *>(shown.bits()),
                                    shown.bytesPerLine() / 4)) {
        return;
    }
    Live->SetPicture(shown);
    if (Recorder) {
        Shown.Rule.ConvertToPicture(field, *Picture);
        if (Picture->GetPtrFirstPixel() == nullptr) return;
        MovieFrame frame;
        frame.Width = uint32_t(w);
        frame.Height = uint32_t(h);
        frame.Kind = MovieFrame::Layout::Bgr8;
        frame.Pixels = Picture->GetPtrFirstPixel();
        frame.RowStride = size_t(w * 3 + Picture->GetAlignedBytes());
        if (Recorder->Add(frame) != MovieEncoder::Done) StopRecording();
    }
}

void ExplorerWindow::RefreshRecord() {
    if (TheExplorer.Revision() == ListedRevision) return;
    ListedRevision = TheExplorer.Revision();
    Records->clear();
    const int model = MainRDSim.ComponentCount > 0 ? MainRDSim.ModelIndex : -1;
    for (const ScheduledChange &change : TheExplorer.Record().Changes()) {
        Records->addItem(QString::fromStdString(ChangeRecord::FormatLine(change, model)));
    }
    Records->scrollToBottom();
}

void ExplorerWindow::Refresh() {
    if (!isVisible()) {
        if (RunFlag == 0) Finish();
        return;
    }
    Update();
}

void ExplorerWindow::Update() {
    // A computing run is not stopped for a frame: every interval the window asks, the thread
    // that computes copies the field at its next slice boundary (at once after a change, which
    // asks too) and the window draws the copy at its next tick. The run waits at a boundary for
    // this thread only every ValuesInterval, or when the record grew, for the panel's values
    // and the record; a paused run is read while it waits, every interval.
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    const Clock::time_point start = Clock::now();
    const double interval = std::clamp((FrameCost + Live->PaintSeconds()) / ViewShare,
                                       FastestInterval, SlowestInterval);
    const bool running = RunFlag == 1;
    // A run whose worker has ended (its images being written, its end box shown) is read here.
    const bool computing = running && PauseFlag == 0 && RunOnWorker();
    bool fresh = false;
    if (computing) {
        LiveField &view = TheExplorer.View();
        fresh = view.Take(Shown);
        if (fresh) ShownNow = int(Shown.Time);
        if (since(LastFrame, start) >= interval) {
            LastFrame = start;
            view.Ask();
        }
    }
    // A view without a picture yet (just opened) gets one at once, read while the run waits.
    const bool pictureless = !Shown.Field;
    const bool held = computing ? pictureless || TheExplorer.Revision() != ListedRevision ||
                                      since(LastHeld, start) >= ValuesInterval
                                : !running || since(LastHeld, start) >= interval;
    if (held) {
        LastHeld = start;
        fresh = ReadHeld(!computing || pictureless) || fresh;
    }
    if (fresh) {
        const Clock::time_point drawing = Clock::now();
        RefreshPicture();
        const double spent = since(drawing, Clock::now());
        FrameCost = FrameCost == 0.0 ? spent : 0.8 * FrameCost + 0.2 * spent;
    }
    if (!fresh && !held) return;
    char status[160];
    std::snprintf(status, sizeof status, GST.Get(MsgExplorerStatus), ShownNow, ShownEnd,
                  Live->Zoom());
    const QString text = QString::fromUtf8(status);
    if (Status->text() != text) Status->setText(text);
}

bool ExplorerWindow::ReadHeld(bool copyField) {
    // Only what must be read from the run is read while it waits: the values, the record and
    // (when asked) a copy of the field; the colour map and the drawing come after it goes on.
    const bool running = RunFlag == 1;
    if (running) HoldRun();
    TheExplorer.Poll();
    const ReaDifSimulation *sim = Followed();
    std::vector<double> values;
    if (sim == nullptr) {
        if (PanelModel != -1) {
            while (PanelRows->rowCount() > 0) PanelRows->removeRow(0);
            Rows.clear();
            PanelModel = -1;
            ModelHeading->setText(Text(MsgExplorerNoModel));
        }
    } else {
        if (sim->ModelIndex != PanelModel || sim->ComponentCount != PanelComponents ||
            Signature(*sim) != PanelSignature) {
            BuildPanel(*sim);
        }
        for (const Row &row : Rows) values.push_back(CurrentValue(*sim, row));
    }
    bool fresh = false;
    // The field is read while the run waits or after its worker ended, and once more after the
    // run: the view ends on its last iteration.
    const bool followed = running || FollowingRun;
    FollowingRun = running;
    if (followed && copyField && MainRDSim.ComponentCount > 0 &&
        (MainRDSim.CurrentTime != Shown.Time || TheExplorer.Revision() != Shown.Revision)) {
        LiveField &view = TheExplorer.View();
        fresh = view.Capture(MainRDSim, TheExplorer.Revision()) && view.Take(Shown);
    }
    RefreshRecord();
    ShownNow = static_cast<int>(MainRDSim.CurrentTime);
    ShownEnd = static_cast<int>(MainRDSim.EndTime);
    if (running) ReleaseRun();
    for (size_t i = 0; i < values.size() && i < Rows.size(); ++i) {
        if (!Rows[i].Slider->isSliderDown()) ShowValue(Rows[i], values[i]);
    }
    return fresh;
}
