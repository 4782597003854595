#pragma once

class QDialog;

// The windows the main window opens, created at start-up in this order and kept for the whole
// run. Each one is null until its unit exists; the main window leaves their commands disabled.
extern QDialog *Form2;  // New CD
extern QDialog *Form3;  // Modify CD
extern QDialog *Form4;  // New program
extern QDialog *Form5;  // Program details
extern QDialog *Form6;  // Modify program
extern QDialog *Form7;  // About
extern QDialog *Form8;  // Export
extern QDialog *Form9;  // Backup
extern QDialog *Form10; // Help
