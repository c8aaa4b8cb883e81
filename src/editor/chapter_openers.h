// How the chapter manager opens its current chapter: in the editor to edit
// or to read, in the editor right after adding it, and in the notes window.
// Each takes the manager's data source, standing on the chapter, and the
// manager window, which stays disabled while the editor is open.
#pragma once

struct AppContext;
class DataSource;
class QWidget;
class frm_edit;

// The editor on the current chapter's text, every change stored at once.
// Returns nullptr, after telling the user why, when there is no chapter to
// open or its text cannot be read.
frm_edit *openChapterToEdit(AppContext &ctx, DataSource &data, QWidget *manager);
// The same, read-only: import disabled and the text locked.
frm_edit *openChapterToRead(AppContext &ctx, DataSource &data, QWidget *manager);
// The editor, empty, for the chapter just added and made current.
frm_edit *openEditorForNewChapter(AppContext &ctx, DataSource &data, QWidget *manager);
// The notes window on the current chapter, modal; returns when it has closed.
void showChapterNotes(AppContext &ctx, DataSource &data, QWidget *manager);

// False, after telling the user, when data stands on no chapter.
bool hasCurrentChapter(AppContext &ctx, DataSource &data, QWidget *manager);
