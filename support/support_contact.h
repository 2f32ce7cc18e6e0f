// The maker's support contact, shown in the error messages of setup and uninstall.
#pragma once

#define TALVEN_SUPPORT_EMAIL "support@talven-drivers.example"
#define TALVEN_SUPPORT_WEB "http://www.talven-drivers.example/support"
