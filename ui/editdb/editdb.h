// The catalogue editor: adds, edits and deletes catalogue nodes beside the
// main window. Created hidden at start-up; closing it only hides it.
#pragma once

#include <QWidget>

class TfmEditdb : public QWidget
{
    Q_OBJECT
public:
    explicit TfmEditdb(QWidget* parent = nullptr);
};

extern TfmEditdb* fmEditdb;
