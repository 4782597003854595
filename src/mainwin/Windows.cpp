#include "Windows.h"

QDialog *Form7 = nullptr;
QDialog *Form8 = nullptr;
QDialog *Form9 = nullptr;
QDialog *Form10 = nullptr;
