// The aphorism editor: edits the current aphorism of FDQuery4 beside the
// main window. Created hidden at start-up; closing it only hides it.
#pragma once

#include <QWidget>

class TfmEditAforizm : public QWidget
{
    Q_OBJECT
public:
    explicit TfmEditAforizm(QWidget* parent = nullptr);
};

extern TfmEditAforizm* fmEditAforizm;
