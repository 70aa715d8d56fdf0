#include "Form1.h"

#include "EntryField.h"
#include "MessageBoxes.h"
#include "core/Catalogue.h"
#include "core/DefaultPrintText.h"
#include "core/Defaults.h"
#include "core/Frames.h"
#include "entry/FieldChecks.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {

const QColor kDarkRed(192, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// Positions are given in twips, 15 to the pixel at 96 dots per inch.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QFont fontOf(const QStringList& families, double points)
{
    // Only the families this system has: a missing one sends every font lookup through the
    // system's slow fallback search, which costs the window a good part of its start-up.
    static const QStringList installed = QFontDatabase::families();
    QStringList present;
    for (const QString& family : families) {
        if (installed.contains(family, Qt::CaseInsensitive))
            present << family;
    }
    QFont font;
    if (!present.isEmpty())
        font.setFamilies(present);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

// Where SimSun is missing, another font with Chinese glyphs takes its place: its Latin letters
// and digits are half as wide as they are high, as SimSun's are, so the addresses fit their
// boxes as they were drawn for.
QFont songti(double points)
{
    return fontOf({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("DejaVu Sans")},
                  points);
}

QFont sansSerif(double points)
{
    return fontOf({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("WenQuanYi Micro Hei")},
                  points);
}

// The language list: a drop-down list with an edit field. The edit field lays its Chinese text
// out as soon as it exists, which brings some 3 MiB of CJK glyph data into memory; since the
// list starts hidden, the field is made when the list is first shown.
class LanguageList : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        if (!isEditable())
            setEditable(true);
        QComboBox::showEvent(event);
    }
};

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

template <typename W> W* place(QWidget* parent, const char* name, const QRect& geometry)
{
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry,
                  double points)
{
    auto* label = place<QLabel>(parent, name, geometry);
    label->setText(caption);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFont(songti(points));
    setColour(label, QPalette::WindowText, kDarkRed);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry)
{
    auto* button = place<QPushButton>(parent, name, geometry);
    button->setText(caption);
    // Buttons take the focus on a click everywhere, so a field's check ends before the click.
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    return button;
}

template <typename Edit>
Edit* makeEdit(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
               const QFont& font, const QColor& colour, int maxLength = 0)
{
    auto* edit = place<Edit>(parent, name, geometry);
    edit->setFont(font);
    setColour(edit, QPalette::Text, colour);
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    edit->setText(text);
    return edit;
}

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent)
    , m_link(m_form, *this)
    , m_commands(m_link, *this, m_form)
    , m_network(m_link, *this, m_form)
    , m_defaultBoxes(std::make_unique<MessageBoxes>())
    , m_boxes(m_defaultBoxes.get())
{
    setObjectName(QStringLiteral("Form1"));
    m_commands.setProgramFolder(QCoreApplication::applicationDirPath());
    buildControls();
    Form_Load();
}

Form1::~Form1()
{
    // The controls outlive the link and the commands by a moment: let none of them call in.
    for (QObject* child : children())
        child->disconnect(this);
}

void Form1::buildControls()
{
    setWindowTitle(QStringLiteral("Corvane V1.1"));
    setFixedSize(519, 324);
    setColour(this, QPalette::Window, QColor(224, 224, 224));
    setAutoFillBackground(true);

    lblCurIP = makeLabel(this, "lblCurIP", QStringLiteral("Printer current  IP address:"),
                         twips(240, 240, 2295, 615), 14.25);
    txtCurIP =
        makeEdit<EntryField>(this, "txtCurIP", QString::fromLatin1(Defaults::kCurrentAddress),
                             twips(2520, 360, 2655, 495), songti(15.75), kBlue, 15);
    cmdConnect =
        makeButton(this, "cmdConnect", QStringLiteral("Connect Test"), twips(5400, 360, 2175, 495));
    Label1 = makeLabel(this, "Label1", QStringLiteral("Printer set new IP address:"),
                       twips(240, 960, 2295, 615), 14.25);
    txtSetIP = makeEdit<EntryField>(this, "txtSetIP", QString::fromLatin1(Defaults::kNewAddress),
                                    twips(2520, 1080, 2655, 495), songti(15.75), kDarkRed, 15);
    cmdSetIP = makeButton(this, "cmdSetIP", QStringLiteral("Set New IP Address"),
                          twips(5400, 1080, 2175, 495));
    Label3 = makeLabel(this, "Label3", QStringLiteral("Printer set new Ethernet ID:"),
                       twips(240, 1680, 2415, 615), 14.25);
    txtMac0 = makeEdit<QLineEdit>(this, "txtMac0", QStringLiteral("0-"),
                                  twips(2520, 1800, 375, 495), songti(10.5), kDarkRed);
    txtMac0->setReadOnly(true); // shows its text and takes the focus, but accepts no typing
    txtMac0->setFocusPolicy(Qt::StrongFocus);
    txtID = makeEdit<EntryField>(this, "txtID", QString::fromLatin1(Defaults::kEthernetIdParts),
                                 twips(2880, 1800, 2295, 495), songti(10.5), kDarkRed, 19);
    cmdID = makeButton(this, "cmdID", QStringLiteral("Set New Ethernet ID"),
                       twips(5400, 1800, 2175, 495));
    Label2 = makeLabel(this, "Label2", QStringLiteral("Input Print characters:"),
                       twips(240, 2400, 2895, 375), 12);
    // Created after Label2, so the text box is drawn over the label's lower edge.
    txtChar = place<QPlainTextEdit>(this, "txtChar", twips(240, 2640, 7335, 1215));
    txtChar->setFont(songti(10.5));
    setColour(txtChar, QPalette::Text, kBlue);
    txtChar->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtChar->setTabChangesFocus(true);
    txtChar->setPlainText(defaultPrintText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    cmdSend = makeButton(this, "cmdSend", QStringLiteral("Print "), twips(120, 3960, 1815, 615));
    cmdCut = makeButton(this, "cmdCut", QStringLiteral("Cut Paper"), twips(2040, 3960, 1815, 615));
    cmdCash =
        makeButton(this, "cmdCash", QStringLiteral("CASH DRAWER"), twips(3960, 3960, 1815, 615));
    cmdEnd = makeButton(this, "cmdEnd", QStringLiteral("END"), twips(5880, 3960, 1815, 615));
    for (QPushButton* button : {cmdSend, cmdCut, cmdCash, cmdEnd})
        button->setFont(sansSerif(9.75));

    // The hidden group: created with the window, never shown by it.
    comLanguage = place<LanguageList>(this, "comLanguage", twips(120, 4920, 1815, 420));
    comLanguage->setInsertPolicy(QComboBox::NoInsert);
    comLanguage->setFont(sansSerif(12));
    setColour(comLanguage, QPalette::Text, kBlue);
    Command3 =
        makeButton(this, "Command3", QStringLiteral("设置语言"), twips(2040, 4800, 1815, 615));
    Command6 =
        makeButton(this, "Command6", QStringLiteral("下载NV位图"), twips(3960, 4800, 1815, 615));
    Command7 =
        makeButton(this, "Command7", QStringLiteral("打印NV位图"), twips(5880, 4800, 1815, 615));
    Command4 =
        makeButton(this, "Command4", QStringLiteral("启用黑标检测"), twips(120, 5640, 1815, 615));
    Command5 =
        makeButton(this, "Command5", QStringLiteral("关闭黑标检测"), twips(2040, 5640, 1815, 615));
    Command1 =
        makeButton(this, "Command1", QStringLiteral("OstrikARM"), twips(3960, 5640, 1815, 615));
    Command2 =
        makeButton(this, "Command2", QStringLiteral("VelmarARM"), twips(5880, 5640, 1815, 615));
    txtcodepage =
        makeEdit<QLineEdit>(this, "txtcodepage", QString::fromLatin1(Defaults::kCodePageText),
                            twips(120, 6480, 1695, 495), sansSerif(13.5), kRed);
    Command8 = makeButton(this, "Command8", QStringLiteral("设置默认代码页"),
                          twips(2040, 6480, 1815, 615));
    Command9 =
        makeButton(this, "Command9", QStringLiteral("打印代码页"), twips(3960, 6480, 1815, 615));
    const QList<QWidget*> hidden = {comLanguage, Command3, Command6, Command7,
                                    Command4,    Command5, Command1, Command2,
                                    txtcodepage, Command8, Command9};
    for (QWidget* widget : hidden)
        widget->setVisible(false);
    for (QPushButton* button :
         {Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8, Command9})
        button->setFont(songti(9.75));

    for (QLabel* label : {lblCurIP, Label1, Label3, Label2})
        label->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget*> tabOrder = {
        cmdConnect, txtChar,  txtSetIP, cmdEnd,   cmdSend,  txtCurIP, cmdSetIP,   txtID,
        cmdID,      txtMac0,  cmdCut,   cmdCash,  Command1, Command2, Command3,   comLanguage,
        Command4,   Command5, Command6, Command7, Command8, Command9, txtcodepage};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    cmdConnect->setFocus();

    connect(cmdConnect, &QPushButton::clicked, this, [this] { m_link.cmdConnect_Click(); });
    connect(cmdSetIP, &QPushButton::clicked, this, [this] { m_network.cmdSetIP_Click(); });
    connect(cmdID, &QPushButton::clicked, this, [this] { m_network.cmdID_Click(); });
    connect(cmdSend, &QPushButton::clicked, this, [this] { m_commands.cmdSend_Click(); });
    connect(cmdCut, &QPushButton::clicked, this, [this] { m_commands.cmdCut_Click(); });
    connect(cmdCash, &QPushButton::clicked, this, [this] { m_commands.cmdCash_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [this] { cmdEnd_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { m_commands.Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { m_commands.Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { m_commands.Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { m_commands.Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { m_commands.Command5_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { m_commands.Command6_Click(); });
    connect(Command7, &QPushButton::clicked, this, [this] { m_commands.Command7_Click(); });
    connect(Command8, &QPushButton::clicked, this, [this] { m_commands.Command8_Click(); });

    connect(txtCurIP, &EntryField::gotFocus, this, [this] { txtCurIP_GotFocus(); });
    connect(txtSetIP, &EntryField::gotFocus, this, [this] { txtSetIP_GotFocus(); });
    connect(txtID, &EntryField::gotFocus, this, [this] { txtID_GotFocus(); });
    connect(txtCurIP, &EntryField::lostFocus, this, [this] {
        FieldChecks::txtCurIP_LostFocus(*this, m_form);
        afterFieldCheck();
    });
    connect(txtSetIP, &EntryField::lostFocus, this, [this] {
        FieldChecks::txtSetIP_LostFocus(*this, m_form);
        afterFieldCheck();
    });
    connect(txtID, &EntryField::lostFocus, this, [this] {
        FieldChecks::txtID_LostFocus(*this, m_form);
        afterFieldCheck();
    });
}

void Form1::Form_Load()
{
    m_form.blnCurIPValid = true;
    m_form.blnSetIPValid = true;
    m_form.bytNewIP = Defaults::kNewIP;
    m_form.bytNewID = Defaults::kNewID;
    m_form.blnIDValid = true;
    m_form.bytIPCmdHead = Frames::kIPCmdHead;
    m_form.bytIDCmdHead = Frames::kIDCmdHead;
    for (const Catalogue::LanguageName& language : Catalogue::kLanguages)
        comLanguage->addItem(QString::fromUtf8(language.caption));
    comLanguage->setCurrentIndex(0);
    m_link.closeSocket();
    m_form.blnConnected = false;
}

void Form1::cmdEnd_Click()
{
    close();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Ends every wait a handler may be nested in; those handlers then return without a word.
    m_link.end();
    event->accept();
}

void Form1::txtCurIP_GotFocus()
{
    setSelection(Field::CurIP, 0, int(txtCurIP->text().size()));
}

void Form1::txtSetIP_GotFocus()
{
    setSelection(Field::SetIP, 0, int(txtSetIP->text().size()));
}

void Form1::txtID_GotFocus()
{
    setSelection(Field::ID, 0, int(txtID->text().size()));
}

// A mouse press on a button that took the focus from a field whose check then showed a box
// never sees its release: the box had it. Nothing may stay drawn pressed after that.
void Form1::afterFieldCheck()
{
    QTimer::singleShot(0, this, [this] {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton)
            return;
        for (QPushButton* button : findChildren<QPushButton*>()) {
            if (button->isDown())
                button->setDown(false);
        }
    });
}

QLineEdit* Form1::lineEdit(Field field) const
{
    switch (field) {
    case Field::CurIP:
        return txtCurIP;
    case Field::SetIP:
        return txtSetIP;
    case Field::ID:
        return txtID;
    case Field::CodePage:
        return txtcodepage;
    case Field::Char:
        break;
    }
    return nullptr;
}

QString Form1::text(Field field) const
{
    if (field != Field::Char)
        return lineEdit(field)->text();
    // The document's own characters: toPlainText() would turn a no-break space into a space.
    // Its line ends become CR LF in one pass: a megabyte of text is printed as it is clicked.
    const QString raw = txtChar->document()->toRawText();
    auto isEnd = [](QChar c) {
        return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    };
    QString text(raw.size() + std::count_if(raw.cbegin(), raw.cend(), isEnd), Qt::Uninitialized);
    QChar* out = text.data();
    for (const QChar c : raw) {
        if (isEnd(c)) {
            *out++ = u'\r';
            *out++ = u'\n';
        } else {
            *out++ = c;
        }
    }
    return text;
}

void Form1::setText(Field field, const QString& text)
{
    if (field == Field::Char)
        txtChar->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    else
        lineEdit(field)->setText(text);
}

void Form1::setFocus(Field field)
{
    if (auto* entry = qobject_cast<EntryField*>(lineEdit(field)))
        entry->giveFocus();
    else if (field == Field::Char)
        txtChar->setFocus(Qt::OtherFocusReason);
    else
        lineEdit(field)->setFocus(Qt::OtherFocusReason);
}

void Form1::setSelection(Field field, int start, int length)
{
    if (field == Field::Char) {
        QTextCursor cursor = txtChar->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        txtChar->setTextCursor(cursor);
    } else {
        lineEdit(field)->setSelection(start, length);
    }
}

int Form1::languageIndex() const
{
    const int index = comLanguage->currentIndex();
    // Text typed into the edit field that is not the selected item means no item is selected.
    if (index < 0 || comLanguage->currentText() != comLanguage->itemText(index))
        return -1;
    return index;
}

void Form1::showMessage(const QString& text)
{
    if (m_link.ending())
        return; // the window is going; nobody is left to read it
    m_boxes->message(this, text);
}

bool Form1::askYesNo(const QString& text)
{
    if (m_link.ending())
        return false;
    return m_boxes->question(this, text);
}

void Form1::setMessageBoxes(MessageBoxes* boxes)
{
    m_boxes = boxes ? boxes : m_defaultBoxes.get();
}
