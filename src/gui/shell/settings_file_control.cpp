#include "gui/shell/settings_file_control.h"

#include "base/language.h"
#include "base/user_interaction.h"
#include "files/csv_file.h"
#include "gui/pages/map_angle.h"
#include "gui/pages/map_angle_dlg.h"
#include "gui/pages/settings_dlg.h"
#include "gui/shell/bottom_dlg.h"
#include "gui/shell/doravine_view.h"
#include "gui/skin/qt_text.h"
#include "operations/doravine_doc.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <filesystem>

namespace {

const wchar_t* const kItems[] = {
    TR_KEY(L"Otwórz plik ustawień..."), TR_KEY(L"Zapisz"),          TR_KEY(L"Zapisz jako..."),
    TR_KEY(L"Zamknij plik"),            TR_KEY(L"Wczytaj do sterownika..."), TR_KEY(L"Koło i czujnik pliku..."),
};
const wchar_t* const kSensors[] = {TR_KEY(L"Halotronowy"), TR_KEY(L"Indukcyjny")};

QString lookup(const wchar_t* key)
{
    return toQString(translateText(key));
}

std::wstring fileName(const std::wstring& path)
{
    return utf82unicode(std::filesystem::path(unicode2utf8(path)).filename().string());
}

// The remembered wheel of a file, by its full name ('=' and line ends cannot be part of a name
// in the store).
std::string wheelKey(const std::wstring& path)
{
    std::string key = "fileWheel " + unicode2utf8(path);
    for (char& c : key)
        if (c == '=' || c == '\n' || c == '\r')
            c = '_';
    return key;
}

// The settings files' dialog in the map-data folder; empty when cancelled.
std::wstring pickSettingsFile(bool save)
{
    return COpenFile(getMapDataFolder(), translateText(kSettingsFileFilter), L"settings", save).show();
}

} // namespace

CSettingsFileControl::CSettingsFileControl(CDoravineDoc& doc, QMainWindow& window,
                                           std::function<CDoravineView*()> view,
                                           std::function<void(const std::wstring&)> compareAndLoad)
    : QObject(&window), m_doc(doc), m_window(window), m_view(std::move(view)),
      m_compareAndLoad(std::move(compareAndLoad))
{
    m_doc.SettingsFile().setChangeHook([this] { showState(); });
}

CSettingsFileControl::~CSettingsFileControl()
{
    m_doc.SettingsFile().setChangeHook({});
}

void CSettingsFileControl::addTo(QMenu* menu, QAction* before)
{
    for (int i = 0; i < ActionCount; ++i) {
        m_actions[i] = new QAction(lookup(kItems[i]), menu);
        menu->insertAction(before, m_actions[i]);
    }
    menu->insertSeparator(before);
    m_actions[OpenAction]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_actions[SaveAction]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(m_actions[OpenAction], &QAction::triggered, this, [this] { openFile(); });
    connect(m_actions[SaveAction], &QAction::triggered, this, [this] { save(); });
    connect(m_actions[SaveAsAction], &QAction::triggered, this, [this] { saveAs(); });
    connect(m_actions[CloseAction], &QAction::triggered, this, [this] { closeFile(); });
    connect(m_actions[LoadAction], &QAction::triggered, this, &CSettingsFileControl::loadIntoController);
    connect(m_actions[WheelAction], &QAction::triggered, this, &CSettingsFileControl::chooseWheel);
    showState();
}

bool CSettingsFileControl::openFile(const std::wstring& given)
{
    if (!mayLeaveFile())
        return false;
    const std::wstring path = given.empty() ? pickSettingsFile(false) : given;
    if (path.empty())
        return false;
    CSettingsDocument& file = m_doc.SettingsFile();
    if (const wchar_t* refusal = file.open(path)) {
        userInteraction().showMessage(translateText(refusal), MessageIcon::Error);
        return false;
    }
    applyWheel();
    recordSwitched();
    return true;
}

bool CSettingsFileControl::save()
{
    CSettingsDocument& file = m_doc.SettingsFile();
    if (!file.isOpen())
        return false;
    if (const wchar_t* failure = file.saveTo()) {
        showError(failure, file.path());
        return false;
    }
    return true;
}

bool CSettingsFileControl::saveAs(const std::wstring& given)
{
    CSettingsDocument& file = m_doc.SettingsFile();
    if (!file.isOpen())
        return false;
    const std::wstring path = given.empty() ? pickSettingsFile(true) : given;
    if (path.empty())
        return false;
    std::error_code ec;
    if (path != file.path() && std::filesystem::exists(std::filesystem::path(unicode2utf8(path)), ec) &&
        !userInteraction().askYesNo(translateText(L"Czy chcesz nadpisać wybrany plik?")))
        return false;
    if (const wchar_t* failure = file.saveTo(path)) {
        showError(failure, path);
        return false;
    }
    // The wheel chosen for the old name goes with the file to its new one.
    const CSettingsRecord& r = file.record();
    setFileWheel(static_cast<int>(r.wheelType), r.sensorType);
    return true;
}

bool CSettingsFileControl::closeFile()
{
    if (!m_doc.SettingsFile().isOpen() || !mayLeaveFile())
        return false;
    m_doc.SettingsFile().close();
    recordSwitched();
    return true;
}

void CSettingsFileControl::loadIntoController()
{
    CSettingsDocument& file = m_doc.SettingsFile();
    if (!file.isOpen())
        return;
    if (!m_doc.Device().isConnected()) {
        userInteraction().showMessage(translateText(L"BRAK POŁĄCZENIA"), MessageIcon::Warning);
        return;
    }
    // The comparison and the load read the file from the disk: unsaved changes are saved first
    // or left out, as the person says.
    if (file.modified()) {
        const Unsaved answer = askUnsaved();
        if (answer == Unsaved::Cancel || (answer == Unsaved::Save && !save()))
            return;
    }
    m_compareAndLoad(file.path());
}

bool CSettingsFileControl::mayLeaveFile()
{
    if (!m_doc.SettingsFile().isOpen() || !m_doc.SettingsFile().modified())
        return true;
    switch (askUnsaved()) {
    case Unsaved::Save:
        return save();
    case Unsaved::Discard:
        return true;
    case Unsaved::Cancel:
        break;
    }
    return false;
}

CSettingsFileControl::Unsaved CSettingsFileControl::askUnsaved()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Doravine"),
                    lookup(L"Zapisać zmiany w pliku?") + QStringLiteral("\n") +
                        toQString(m_doc.SettingsFile().path()),
                    QMessageBox::NoButton, &m_window);
    QPushButton* saveButton = box.addButton(lookup(L"Zapisz"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(lookup(L"Nie zapisuj"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(lookup(L"Anuluj"), QMessageBox::RejectRole);
    // Enter alone keeps the changes; Escape changes nothing.
    box.setDefaultButton(saveButton);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == saveButton)
        return Unsaved::Save;
    return box.clickedButton() == discard ? Unsaved::Discard : Unsaved::Cancel;
}

void CSettingsFileControl::chooseWheel()
{
    if (!m_doc.SettingsFile().isOpen())
        return;
    const CSettingsRecord& r = m_doc.SettingsFile().record();
    QDialog dialog(&m_window);
    dialog.setWindowTitle(lookup(L"Koło i czujnik pliku..."));
    auto* wheel = new QComboBox(&dialog);
    for (const std::wstring& name : wheelTypeNames())
        wheel->addItem(toQString(translateText(name)));
    wheel->setCurrentIndex(static_cast<int>(r.wheelType));
    auto* sensor = new QComboBox(&dialog);
    for (const wchar_t* name : kSensors)
        sensor->addItem(lookup(name));
    sensor->setCurrentIndex(r.sensorType == 0.0 ? 0 : 1);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(lookup(L"Ok"), QDialogButtonBox::AcceptRole);
    buttons->addButton(lookup(L"Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow(lookup(L"Typ koła"), wheel);
    form->addRow(lookup(L"Wybierz typ czujnika"), sensor);
    form->addRow(buttons);
    if (dialog.exec() == QDialog::Accepted)
        setFileWheel(wheel->currentIndex(), sensor->currentIndex() == 0 ? 0.0 : 1.0);
}

void CSettingsFileControl::setFileWheel(int wheelType, double sensorType)
{
    CSettingsDocument& file = m_doc.SettingsFile();
    if (!file.isOpen())
        return;
    registry::writeString(wheelKey(file.path()), std::to_string(wheelType) + ";" + std::to_string(sensorType != 0.0));
    applyWheel();
    if (CDoravineView* view = m_view())
        view->refillMapGrid();
    showState();
}

void CSettingsFileControl::applyWheel()
{
    CSettingsDocument& file = m_doc.SettingsFile();
    if (!file.isOpen())
        return;
    CSettingsRecord& r = file.record();
    const CLPGDevice& device = m_doc.Device();
    if (device.isConnected()) {
        r.wheelType = device.m_settings.wheelType;
        r.sensorType = device.m_settings.sensorType;
        return;
    }
    int wheelType = 0;
    int inductive = 0;
    if (const auto stored = registry::readString(wheelKey(file.path())))
        if (std::sscanf(stored->c_str(), "%d;%d", &wheelType, &inductive) != 2 || wheelType < 0 ||
            wheelType >= kWheelTypeCount)
            wheelType = inductive = 0;
    r.wheelType = wheelType;
    r.sensorType = inductive ? 1.0 : 0.0;
}

void CSettingsFileControl::connectionChanged()
{
    if (!m_doc.SettingsFile().isOpen())
        return;
    applyWheel();
    if (CDoravineView* view = m_view())
        view->refillMapGrid();
    showState();
}

void CSettingsFileControl::recordSwitched()
{
    if (CDoravineView* view = m_view())
        view->editedRecordSwitched();
    showState();
}

void CSettingsFileControl::showState()
{
    const CSettingsDocument& file = m_doc.SettingsFile();
    const std::wstring name = file.isOpen() ? fileName(file.path()) : std::wstring();
    m_window.setWindowTitle(windowTitle());
    if (CDoravineView* view = m_view(); view && view->bottom())
        view->bottom()->setEditedFile(name, file.modified());
    if (!m_actions[OpenAction])
        return;
    for (int i = SaveAction; i < ActionCount; ++i)
        m_actions[i]->setEnabled(file.isOpen());
    // A connected controller gives the file its wheel; only without one is it chosen.
    m_actions[WheelAction]->setEnabled(file.isOpen() && !m_doc.Device().isConnected());
}

QString CSettingsFileControl::windowTitle() const
{
    const CSettingsDocument& file = m_doc.SettingsFile();
    if (!file.isOpen())
        return QStringLiteral("Doravine");
    return toQString(fileName(file.path())) + (file.modified() ? QStringLiteral("*") : QString()) +
           QStringLiteral(" - Doravine");
}

void CSettingsFileControl::refreshLanguage()
{
    for (int i = 0; i < ActionCount; ++i)
        if (m_actions[i])
            m_actions[i]->setText(lookup(kItems[i]));
    showState();
}

void CSettingsFileControl::showError(const wchar_t* key, const std::wstring& path)
{
    userInteraction().showMessage(translateText(key) + L"\n" + path, MessageIcon::Error);
}
