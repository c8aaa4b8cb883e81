// The windows of the program and how one gives way to the next: the one
// place that knows every window.
#pragma once

#include "app/app_context.h"

#include <QPointer>

class BookSearchWindow;
class frm_about;
class StatisticsWindow;

class WindowNavigator : public Navigator
{
public:
    explicit WindowNavigator(AppContext &ctx) : m_ctx(ctx) {}

    void showLibrary() override;
    void showChapterManager() override;
    void showNewNovel() override;
    void showNovelInfo() override;
    void showAbout(QWidget *beside) override;
    void showFromManager(ManagerWindow window, DataSource &data, QWidget *manager) override;
    bool raiseOpenedFrom(QWidget *manager) override;
    bool showHitInEditor(QWidget *manager, const TextQuery &query, int start) override;

private:
    void showStatistics(const QString &novelPath);

    AppContext &m_ctx;
    QPointer<frm_about> m_about;
    QPointer<StatisticsWindow> m_statistics;
    // The editor opened from a chapter manager, and that manager.
    QPointer<QWidget> m_editor;
    QPointer<QWidget> m_editorManager;
    // The whole-book search, one for the manager it was opened from.
    QPointer<BookSearchWindow> m_bookSearch;

    void showBookSearch(DataSource &data, QWidget *manager);
};
