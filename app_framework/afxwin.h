// The application/dialog framework: one include for programs built on it.
#pragma once

#include <windows.h>
#include <richedit.h>
#include "afx_cstring.h"
#include "afx_msgmap.h"
#include "afx_wnd.h"
#include "afx_dialog.h"
#include "afx_winapp.h"
