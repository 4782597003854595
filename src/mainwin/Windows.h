#pragma once

class QDialog;

// The windows the main window opens that are still to be built (the others live in their own
// units). Each one stays null until its unit exists, and the main window leaves its
// commands disabled.
extern QDialog *Form7;  // About
extern QDialog *Form8;  // Export
extern QDialog *Form9;  // Backup
extern QDialog *Form10; // Help
