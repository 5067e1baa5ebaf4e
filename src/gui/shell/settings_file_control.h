// The File menu's settings-file commands, for working without the controller: open a settings
// file for editing, save it, save it under another name, close it, choose the wheel and sensor it
// is meant for, and load it into the controller through the comparison. While a file is open the
// map and settings pages edit its record (the document's edited-record switch); the window's title
// and the status strip name it, with a mark while it has unsaved changes, and nothing unsaved is
// let go without asking.
#pragma once

#include <QObject>

#include <functional>
#include <string>

class CDoravineDoc;
class CDoravineView;
class QAction;
class QMainWindow;
class QMenu;

class CSettingsFileControl : public QObject {
    Q_OBJECT
  public:
    enum class Unsaved { Save, Discard, Cancel };

    // view answers the window's view (or null while there is none); compareAndLoad runs the
    // comparison of a settings file with the controller and, when chosen there, its load.
    CSettingsFileControl(CDoravineDoc& doc, QMainWindow& window, std::function<CDoravineView*()> view,
                         std::function<void(const std::wstring&)> compareAndLoad);
    // The document outlives the window: its file no longer reports to this control.
    ~CSettingsFileControl() override;

    // The items, inserted before `before` (at the end when null), with Ctrl+O and Ctrl+S.
    void addTo(QMenu* menu, QAction* before);

    // Each command with a file dialog when the path is empty. Answers whether it was done.
    bool openFile(const std::wstring& path = {});
    bool save();
    bool saveAs(const std::wstring& path = {});
    bool closeFile();
    // "Wczytaj do sterownika...": the open file (saved first, if the person wants its changes)
    // compared with the controller and, when chosen there, loaded.
    void loadIntoController();
    // The dialog of the wheel and sensor that give the open file's angle step and limits.
    void chooseWheel();
    // The same choice without the dialog; remembered for the file's name.
    void setFileWheel(int wheelType, double sensorType);

    // True when the open file may be let go: nothing unsaved, or the question answered Save (and
    // the save succeeded) or Discard.
    bool mayLeaveFile();
    // The controller came or went: the file's angle step follows its wheel when there is one.
    void connectionChanged();
    void refreshLanguage();

    QString windowTitle() const;
    QAction* action(int index) const { return m_actions[index]; }
    enum ActionIndex { OpenAction, SaveAction, SaveAsAction, CloseAction, LoadAction, WheelAction, ActionCount };

  private:
    // The wheel and sensor fields of the file's record: the controller's, else the remembered
    // choice, else the 60-2 Hall wheel.
    void applyWheel();
    // The pages now show another record (a file opened or closed).
    void recordSwitched();
    // The title, the strip and which items are usable.
    void showState();
    void showError(const wchar_t* key, const std::wstring& path);
    Unsaved askUnsaved();

    CDoravineDoc& m_doc;
    QMainWindow& m_window;
    std::function<CDoravineView*()> m_view;
    std::function<void(const std::wstring&)> m_compareAndLoad;
    QAction* m_actions[ActionCount] = {};
};
