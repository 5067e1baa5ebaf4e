// The status strip along the bottom of the window: the connection state on the left, while the
// readings are recorded a red mark with the recording's duration beside it, the settings file
// being edited (with a mark while it has unsaved changes), and the program's version on the right.
#pragma once

#include "gui/skin/multi_page_dialog.h"

#include <QColor>

#include <string>

class CTransparentStatic;

class CBottomDlg : public CGDIpMultiPageDialog {
    Q_OBJECT
  public:
    static constexpr int kTemplateId = 311;
    static constexpr int kIdState = 1008;
    static constexpr int kIdVersion = 1007;

    explicit CBottomDlg(QWidget* parent = nullptr);

    // "POŁĄCZONY" in green or "BRAK POŁĄCZENIA" in red, looked up now.
    void setConnectionState(bool connected);
    // "Szukam sterownika..." while the first search for the controller runs.
    void setSearching();
    bool shownConnected() const { return m_connected; }

    std::wstring stateText() const;
    QColor stateColor() const { return m_stateColor; }
    std::wstring versionText() const;

    // Shows "● <Zapis odczytów> h:mm:ss" while a readings log runs; hides it otherwise.
    void setRecording(bool recording, long long seconds = 0);
    bool shownRecording() const;
    std::wstring recordingText() const;
    // "0:00:07", "1:02:03": the duration as the strip shows it.
    static std::wstring durationText(long long seconds);
    // "Plik: name" and " *" while it has unsaved changes; an empty name hides it.
    void setEditedFile(const std::wstring& name, bool modified);
    std::wstring editedFileText() const;
    CTransparentStatic* stateLabel() const { return m_state; }
    CTransparentStatic* versionLabel() const { return m_version; }

    static QColor connectedColor() { return {0, 200, 0}; }
    static QColor disconnectedColor() { return {200, 0, 0}; }
    static QColor searchingColor() { return {190, 120, 0}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void showState(const std::wstring& text, QColor color);
    // The file's name follows the recording mark when both show.
    void placeEditedFile();

    CTransparentStatic* m_state;
    CTransparentStatic* m_version;
    CTransparentStatic* m_recording;
    CTransparentStatic* m_file;
    QColor m_stateColor;
    bool m_connected = false;
};
