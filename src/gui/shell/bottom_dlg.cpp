#include "gui/shell/bottom_dlg.h"

#include "base/language.h"
#include "gui/skin/qt_text.h"
#include "gui/skin/statics.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cwchar>

CBottomDlg::CBottomDlg(QWidget* parent)
    : CGDIpMultiPageDialog(QSize(612, 29), parent), m_state(new CTransparentStatic(this)),
      m_version(new CTransparentStatic(this)), m_recording(new CTransparentStatic(this)),
      m_file(new CTransparentStatic(this))
{
    // The strip is far flatter than the window: each axis scales on its own.
    templateLayout().setStretch(true);
    // The state sits on a light plate: the pure green and red of the two states read poorly
    // straight on the dark strip. The box is wider than the original 94 units so that the bold
    // "BRAK POŁĄCZENIA" (and its translations) is never cut at 800 pixels.
    placeControl(m_state, 7, 5, 200, 19);
    m_state->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    m_state->setTextFormat(Qt::PlainText);
    m_version->setCaption(L"Doravine v1.55");
    m_version->setAlignment(Qt::AlignVCenter | Qt::AlignRight);
    m_version->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    placeControl(m_version, 451, 5, 154, 19);
    m_recording->setObjectName(QStringLiteral("recordingIndicator"));
    m_recording->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    m_recording->setTextFormat(Qt::PlainText);
    // A soft red, as recording marks usually are, readable on the dark strip.
    m_recording->setStyleSheet(QStringLiteral("color: rgb(255, 140, 130); font-weight: bold;"));
    placeControl(m_recording, 215, 5, 230, 19);
    m_recording->hide();
    m_file->setObjectName(QStringLiteral("editedFile"));
    m_file->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    m_file->setTextFormat(Qt::PlainText);
    m_file->setStyleSheet(QStringLiteral("color: rgb(255, 214, 120); font-weight: bold;"));
    placeControl(m_file, 215, 5, 230, 19);
    m_file->hide();
    setConnectionState(false);
}

std::wstring CBottomDlg::durationText(long long seconds)
{
    seconds = std::max(0LL, seconds);
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

void CBottomDlg::setRecording(bool recording, long long seconds)
{
    if (!recording) {
        m_recording->hide();
        placeEditedFile();
        return;
    }
    m_recording->setCaption(L"\u25CF " + translateText(L"Zapis odczytów") + L" " + durationText(seconds));
    m_recording->show();
    placeEditedFile();
}

void CBottomDlg::setEditedFile(const std::wstring& name, bool modified)
{
    m_file->setVisible(!name.empty());
    m_file->setCaption(translateText(L"Plik") + L": " + name + (modified ? L" *" : L""));
    m_file->setToolTip(modified ? toQString(translateText(L"Niezapisane zmiany")) : QString());
    placeEditedFile();
}

std::wstring CBottomDlg::editedFileText() const
{
    return m_file->isHidden() ? std::wstring() : m_file->caption();
}

void CBottomDlg::placeEditedFile()
{
    QRect at = m_recording->geometry();
    if (shownRecording())
        at.moveLeft(at.left() + QFontMetrics(m_recording->font()).horizontalAdvance(m_recording->text()) + 16);
    at.setRight(m_version->geometry().left() - 4);
    m_file->setGeometry(at);
}

bool CBottomDlg::shownRecording() const
{
    return !m_recording->isHidden();
}

std::wstring CBottomDlg::recordingText() const
{
    return m_recording->caption();
}

void CBottomDlg::setConnectionState(bool connected)
{
    m_connected = connected;
    showState(translateText(connected ? L"POŁĄCZONY" : L"BRAK POŁĄCZENIA"),
              connected ? connectedColor() : disconnectedColor());
}

void CBottomDlg::setSearching()
{
    m_connected = false;
    showState(translateText(L"Szukam sterownika..."), searchingColor());
}

void CBottomDlg::showState(const std::wstring& text, QColor color)
{
    m_stateColor = color;
    m_state->setCaption(text);
    m_state->setStyleSheet(QStringLiteral("color: rgb(%1, %2, %3); font-weight: bold;"
                                          "padding: 0px 8px;")
                               .arg(m_stateColor.red())
                               .arg(m_stateColor.green())
                               .arg(m_stateColor.blue()));
    update();
}

std::wstring CBottomDlg::stateText() const
{
    return m_state->caption();
}

std::wstring CBottomDlg::versionText() const
{
    return m_version->caption();
}

void CBottomDlg::paintEvent(QPaintEvent*)
{
    // A light plate just behind the state text, as wide as the text needs.
    const QRect label = m_state->geometry();
    const int textWidth = QFontMetrics(m_state->font()).horizontalAdvance(m_state->text());
    const QRectF plate(label.left(), label.top() + 1, std::min(label.width(), textWidth + 16),
                       label.height() - 2);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(240, 243, 247));
    painter.drawRoundedRect(plate, 4, 4);
}
