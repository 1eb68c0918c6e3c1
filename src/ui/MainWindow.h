#pragma once

#include "app/MainForm.h"
#include "ui/ModelView.h"
#include "ui/TwipScale.h"

#include <QWidget>

class QAction;
class QMenu;

namespace trawlmeter::ui {

// The window of a MainForm: every shown control of the layout at its place, scaled from
// twips to the screen, at a fixed size. It shows the model (refreshed after every handler
// and at each yield) and forwards the operator's clicks and path edits to it. The hidden
// group lives only in the model. The form must outlive the window; the form is unloaded
// exactly once, when the window closes or at the latest when it is destroyed.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(MainForm& form, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The load runs first, so its message box comes up while the window is not yet shown.
    void loadAndShow();
    void refreshFromModel() { m_view.refresh(); }
    QSize fixedInnerSize() const { return m_innerSize; }

Q_SIGNALS:
    // The form has been unloaded: the program's end.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    QWidget* createWidget(Control& control, QWidget* container);
    QWidget* createTextBox(TextBox& control, QWidget* container);
    QWidget* createButton(CommandButton& control, QWidget* container);
    QWidget* createLabel(Label& control, QWidget* container);
    void setFocusOrder(std::vector<std::pair<int, QWidget*>> widgetsByTab);
    void focusFirstEnabled();
    bool isCounter(const Control& control) const;

    // The window's context menu, with the standard entries of a text box where it has them.
    void showContextMenu(QMenu& menu, const QPoint& globalPosition);
    void crawlerReportChosen();
    void selectLogClicked();
    void analysisClicked();
    void creditLineClicked();
    // Closes the window when the operator closed it while a handler ran.
    void closeIfAsked();
    void unloadOnce();

    MainForm& m_form;
    TwipScale m_scale;
    QSize m_innerSize;
    ModelView m_view;
    std::vector<QWidget*> m_focusOrder;
    QAction* m_crawlerReport = nullptr;
    bool m_closeWhenRunEnds = false;
    bool m_unloaded = false;
};

} // namespace trawlmeter::ui
