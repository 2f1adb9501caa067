#pragma once

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

// The options dialog: three tabs, each with its own OK and Cancel. It only
// shows and collects values; the window's options controller fills it from
// the settings fields and copies them back.
class TOption : public QDialog
{
    Q_OBJECT
public:
    explicit TOption(QWidget* parent = nullptr);

    QTabWidget* PageControl1 = nullptr;

    QWidget* TabSheet1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLabel* Label3 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;

    QWidget* TabSheet2 = nullptr;
    QLabel* Label6 = nullptr;
    QFrame* Bevel2 = nullptr;
    QRadioButton *RB1 = nullptr, *RB2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label5 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton *Button3 = nullptr, *Button4 = nullptr;

    QWidget* TabSheet3 = nullptr;
    QLabel* Label11 = nullptr;
    QCheckBox* CheckBox6 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QLabel* Label9 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLabel* Label8 = nullptr;
    QPushButton *Button5 = nullptr, *Button6 = nullptr;

public slots:
    // The address and port boxes follow the "another proxy" box, whoever
    // changes it.
    void CheckBox5Click();
};
