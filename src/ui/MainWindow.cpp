#include "ui/MainWindow.h"

#include "app/CrawlerEngines.h"
#include "app/FormLayout.h"
#include "ui/ClickableLabel.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>
#include <map>
#include <memory>

namespace trawlmeter::ui {
namespace {

constexpr double kDefaultDotsPerInch = 96.0;

double logicalDotsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInch() : kDefaultDotsPerInch;
}

QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MainWindow::MainWindow(MainForm& form, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_form(form), m_scale(logicalDotsPerInch()),
      m_innerSize(m_scale.size(kMainWindow.innerWidth, kMainWindow.innerHeight)) {
    setWindowTitle(qtText(kMainWindow.caption));
    setFixedSize(m_innerSize);
    m_crawlerReport = new QAction(this);
    connect(m_crawlerReport, &QAction::triggered, this, &MainWindow::crawlerReportChosen);
    m_view.bind(m_form.MnuCrawlerReport, *m_crawlerReport);
    createControls();
}

MainWindow::~MainWindow() {
    unloadOnce();
}

void MainWindow::loadAndShow() {
    m_form.Form_Load();
    refreshFromModel();
    show();
    activateWindow();
    focusFirstEnabled();
}

void MainWindow::createControls() {
    std::map<std::string_view, QWidget*> frames;
    std::vector<std::pair<int, QWidget*>> widgetsByTab;
    for (Control* control : m_form.controls()) {
        const ControlSpec& row = control->layoutRow();
        // The hidden group and everything in it live only in the model.
        if (!row.visible) {
            continue;
        }
        QWidget* container = this;
        if (!row.container.empty()) {
            const auto frame = frames.find(row.container);
            if (frame == frames.end()) {
                continue;
            }
            container = frame->second;
        }
        QWidget* widget = createWidget(*control, container);
        if (widget == nullptr) {
            continue;
        }
        widget->setObjectName(qtText(row.name));
        // Inside a frame the place counts from the frame's own corner: the layout's Tops
        // already leave room for the frame's caption.
        widget->setGeometry(m_scale.rect(row.left, row.top, row.width, row.height));
        if (row.kind == ControlKind::Frame) {
            frames.emplace(row.name, widget);
        }
        if (row.tabIndex != kNoTab && (widget->focusPolicy() & Qt::TabFocus) != 0) {
            widgetsByTab.emplace_back(row.tabIndex, widget);
        }
    }
    setFocusOrder(std::move(widgetsByTab));
    refreshFromModel();
}

QWidget* MainWindow::createWidget(Control& control, QWidget* container) {
    switch (control.layoutRow().kind) {
    case ControlKind::Frame: {
        auto* frame = new QGroupBox(container);
        m_view.bind(static_cast<Frame&>(control), *frame);
        return frame;
    }
    case ControlKind::Label:
        return createLabel(static_cast<Label&>(control), container);
    case ControlKind::TextBox:
        return createTextBox(static_cast<TextBox&>(control), container);
    case ControlKind::Button:
        return createButton(static_cast<CommandButton&>(control), container);
    case ControlKind::ListBox:
    case ControlKind::FileDialog:
    case ControlKind::MenuEntry:
        return nullptr;
    }
    return nullptr;
}

QWidget* MainWindow::createLabel(Label& control, QWidget* container) {
    QLabel* label = nullptr;
    if (&control == &m_form.Label4) {
        auto* creditLine = new ClickableLabel(container);
        QPalette palette = creditLine->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        creditLine->setPalette(palette);
        creditLine->setCursor(Qt::PointingHandCursor);
        connect(creditLine, &ClickableLabel::clicked, this, &MainWindow::creditLineClicked);
        label = creditLine;
    } else {
        label = new QLabel(container);
    }
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_view.bind(control, *label);
    return label;
}

QWidget* MainWindow::createTextBox(TextBox& control, QWidget* container) {
    auto* box = new QLineEdit(container);
    if (isCounter(control)) {
        // Only the program writes the counters.
        box->setReadOnly(true);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        palette.setColor(QPalette::Text, palette.color(QPalette::Highlight));
        box->setPalette(palette);
    } else {
        connect(box, &QLineEdit::textEdited, this, [this, &control](const QString& text) {
            control.setText(QFile::encodeName(text).toStdString());
            m_view.acknowledge(control);
        });
    }
    // A right click on a box brings its own entries and the window's.
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(box, &QWidget::customContextMenuRequested, this, [this, box](const QPoint& at) {
        const std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
        menu->addSeparator();
        showContextMenu(*menu, box->mapToGlobal(at));
    });
    m_view.bind(control, *box);
    return box;
}

QWidget* MainWindow::createButton(CommandButton& control, QWidget* container) {
    auto* button = new QPushButton(container);
    if (&control == &m_form.CmdAnalysis) {
        connect(button, &QPushButton::clicked, this, &MainWindow::analysisClicked);
    } else if (&control == &m_form.CmdSelectrezOve) {
        connect(button, &QPushButton::clicked, this, &MainWindow::selectLogClicked);
    }
    m_view.bind(control, *button);
    return button;
}

bool MainWindow::isCounter(const Control& control) const {
    for (const auto& engine : kCrawlerEngines) {
        if (&control == &(m_form.*engine.counter)) {
            return true;
        }
    }
    return &control == &m_form.TxtLineCnt;
}

void MainWindow::setFocusOrder(std::vector<std::pair<int, QWidget*>> widgetsByTab) {
    std::stable_sort(widgetsByTab.begin(), widgetsByTab.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    m_focusOrder.clear();
    for (const auto& entry : widgetsByTab) {
        m_focusOrder.push_back(entry.second);
    }
    for (size_t i = 1; i < m_focusOrder.size(); ++i) {
        setTabOrder(m_focusOrder[i - 1], m_focusOrder[i]);
    }
}

void MainWindow::focusFirstEnabled() {
    for (QWidget* widget : m_focusOrder) {
        if (widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    showContextMenu(menu, event->globalPos());
}

void MainWindow::showContextMenu(QMenu& menu, const QPoint& globalPosition) {
    refreshFromModel();
    menu.addAction(m_crawlerReport);
    menu.exec(globalPosition);
}

void MainWindow::crawlerReportChosen() {
    // The operator reaches only an enabled entry, whatever the menu showed last.
    if (!m_form.MnuCrawlerReport.Enabled()) {
        return;
    }
    m_form.MnuCrawlerReport_Click();
    refreshFromModel();
    closeIfAsked();
}

void MainWindow::selectLogClicked() {
    m_form.CmdSelectrezOve_Click();
    refreshFromModel();
}

void MainWindow::analysisClicked() {
    // The operator reaches only an enabled button, whatever the widget showed last.
    if (!m_form.CmdAnalysis.Enabled()) {
        return;
    }
    m_form.CmdAnalysis_Click();
    refreshFromModel();
    closeIfAsked();
}

void MainWindow::closeIfAsked() {
    if (m_closeWhenRunEnds) {
        m_closeWhenRunEnds = false;
        close();
    }
}

void MainWindow::creditLineClicked() {
    m_form.Label4_Click();
    refreshFromModel();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_form.runInProgress() || m_form.reportInProgress()) {
        // The run ends at its next yield, keeping what it wrote and removing its work
        // folder, and a report ends unwritten; the window closes once its handler has
        // returned, so the database is closed only after the run stopped using it.
        m_form.requestStop();
        m_closeWhenRunEnds = true;
        event->ignore();
        return;
    }
    unloadOnce();
    event->accept();
    Q_EMIT unloaded();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A window system that ignores the size hints (a bare X server) may resize the window
    // anyway: put it back. Writing the size it already has raises no new event.
    if (event->size() != m_innerSize) {
        resize(m_innerSize);
    }
}

void MainWindow::unloadOnce() {
    if (!m_unloaded) {
        m_unloaded = true;
        // The unload shows its own message when the last records could not be committed.
        (void)m_form.Form_Unload();
    }
}

} // namespace trawlmeter::ui
