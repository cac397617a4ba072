// ExplorerWindow: the explorer beside the main window: the live view, the parameter panel made
// from the model table, the brush, the transport and the record of changes as a list. What it
// does to the script and the run goes through the front end's ExplorerSession. Owns its widgets
// and the picture buffer of the view.
#pragma once

#include <QImage>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/LiveField.h"
#include "rdsimul/ScheduledChange.h"

class ExplorerView;
class MovieRecorder;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;
class ReaDifSimulation;

class ExplorerWindow : public QWidget {
public:
    // sendCommand delivers a menu command to the main window's procedure (Run, Pause).
    ExplorerWindow(QWidget *owner, std::function<void(int command)> sendCommand);
    ~ExplorerWindow() override;

    // Shows and raises the window with the keyboard focus in the panel's first field.
    void Open();
    // Follows the script and the run now (the timer does it 60 times a second); hidden during a
    // run, it only waits for the run's end to hand the record over.
    void Refresh();

    ExplorerView *View() const { return Live; }
    QListWidget *RecordList() const { return Records; }
    QPushButton *RecordMovieButton() const { return RecordButton; }
    QLabel *StatusLine() const { return Status; }
    // The panel's numeric fields, in panel order.
    std::vector<QLineEdit *> Fields() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // One row of the panel: a setting, its slider and its field.
    struct Row {
        ScheduledChange::Kind What = ScheduledChange::Kind::Modpar;
        int Key = 0;
        double Low = 0.0;
        double High = 1.0;
        QSlider *Slider = nullptr;
        QLineEdit *Field = nullptr;
    };

    // The panel, the view, the list and the status brought up to date.
    void Update();
    // The record into the script, the session closed, the timer stopped.
    void Finish();
    void BuildPanel(const ReaDifSimulation &sim);
    // What besides the model and its components decides the panel's rows.
    static std::string Signature(const ReaDifSimulation &sim);
    void AddRow(const QString &label, ScheduledChange::Kind what, int key, double value, double low,
                double high);
    double CurrentValue(const ReaDifSimulation &sim, const Row &row) const;
    void Apply(Row &row, double value);
    void ShowValue(Row &row, double value);
    // Reads the run while it waits at a slice boundary (when one computes): the panel's values,
    // the record and, with copyField, the field; true when there is a new field.
    bool ReadHeld(bool copyField);
    // Draws the copied field through the script's colour map, after the run goes on.
    void RefreshPicture();
    void RefreshRecord();
    // Record movie: a file asked for, then every picture the view draws goes into it, until
    // the button is released or the window closes; a failure is told in a box.
    void StartRecording();
    void StopRecording();
    // The simulation the panel follows: the run's while one runs, else the editor's script
    // parsed on the side (null when it is not accepted).
    const ReaDifSimulation *Followed();

    std::function<void(int)> SendCommand;
    ExplorerView *Live = nullptr;
    QLabel *Status = nullptr;
    QLabel *ModelHeading = nullptr;
    QWidget *Panel = nullptr;
    QFormLayout *PanelRows = nullptr;
    QComboBox *BrushComponent = nullptr;
    QLineEdit *BrushValue = nullptr;
    QDoubleSpinBox *BrushRadius = nullptr;
    QListWidget *Records = nullptr;
    QTimer *Ticker = nullptr;
    QPushButton *RecordButton = nullptr;
    std::unique_ptr<MovieRecorder> Recorder;
    std::vector<Row> Rows;
    int PanelModel = -2;  // the model the rows were made for
    int PanelComponents = -1;
    std::string PanelSignature;
    std::unique_ptr<Image3D24> Picture;
    LiveField::Frame Shown;  // the shown component, copied at a boundary
    QImage Frames[2];        // its pictures, written in turn
    int NextFrame = 0;
    std::unique_ptr<ReaDifSimulation> SideSim;  // the editor's script, parsed for the panel
    std::string SideText;                       // the text SideSim was parsed from
    bool SideAccepted = false;
    std::chrono::steady_clock::time_point LastFrame;
    std::chrono::steady_clock::time_point LastHeld;
    double FrameCost = 0.0;     // seconds a new frame takes this thread, smoothed, drawing apart
    bool FollowingRun = false;  // the last read found a run
    int ShownNow = 0;           // the iterations done and to do, as last read
    int ShownEnd = 0;
    int32_t ListedRevision = -1;
};
