#include "mainwnd/AboutDlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
