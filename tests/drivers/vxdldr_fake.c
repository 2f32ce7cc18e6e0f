/* Test stand-in for the Windows 9x VxD loader, a kernel driver that keeps a load count per VxD
 * name and logs every request; vxdldr_protocol.h documents its device, requests and log. */
#include <ddk/wdm.h>

#include "vxdldr_protocol.h"

#define MAX_NAMES 16

typedef struct LOADED_NAME {
    ULONG count;
    char name[VXDLDR_NAME_SIZE];
} LOADED_NAME;

static KMUTEX g_lock;
static ULONG g_acceptAllUnloads;
static LOADED_NAME g_names[MAX_NAMES];
static VXDLDR_LOG g_log;
static LONG g_openHandles;
static PDEVICE_OBJECT g_device;

static ULONG BoundedLength(const char* text, ULONG size)
{
    ULONG n = 0;
    while (n < size && text[n] != '\0')
        ++n;
    return n; /* == size: no NUL inside the buffer */
}

static LOADED_NAME* FindName(const char* name, int add)
{
    LOADED_NAME* free_slot = NULL;
    for (int i = 0; i < MAX_NAMES; ++i) {
        if (g_names[i].name[0] == '\0' && !free_slot)
            free_slot = &g_names[i];
        else if (g_names[i].name[0] != '\0' && strcmp(g_names[i].name, name) == 0)
            return &g_names[i];
    }
    if (!add || !free_slot)
        return NULL;
    memcpy(free_slot->name, name, strlen(name) + 1);
    free_slot->count = 0;
    return free_slot;
}

/* C:\WINDOWS\SYSTEM\Vmm32\windrvr.VXD -> WINDRVR */
static NTSTATUS HandleLoad(const char* in, ULONG inLen)
{
    ULONG len = BoundedLength(in, inLen);
    if (!in || len == inLen)
        return STATUS_INVALID_PARAMETER;
    ULONG start = 0, end = len;
    for (ULONG i = 0; i < len; ++i)
        if (in[i] == '\\' || in[i] == '/' || in[i] == ':')
            start = i + 1;
    for (ULONG i = start; i < len; ++i)
        if (in[i] == '.')
            end = i;
    if (end == start || end - start >= VXDLDR_NAME_SIZE)
        return STATUS_INVALID_PARAMETER;
    char name[VXDLDR_NAME_SIZE];
    for (ULONG i = start; i < end; ++i)
        name[i - start] = (in[i] >= 'a' && in[i] <= 'z') ? (char)(in[i] - 'a' + 'A') : in[i];
    name[end - start] = '\0';
    LOADED_NAME* entry = FindName(name, 1);
    if (!entry)
        return STATUS_INSUFFICIENT_RESOURCES;
    ++entry->count;
    return STATUS_SUCCESS;
}

static NTSTATUS HandleUnload(const char* in, ULONG inLen)
{
    const VXDLDR_UNLOAD_REQUEST* request = (const VXDLDR_UNLOAD_REQUEST*)in;
    if (!in || inLen < VXDLDR_UNLOAD_REQUEST_SIZE || request->deviceId != 0xFFFFFFFFul ||
        BoundedLength(request->deviceName, VXDLDR_NAME_SIZE) == VXDLDR_NAME_SIZE)
        return STATUS_INVALID_PARAMETER;
    if (g_acceptAllUnloads)
        return STATUS_SUCCESS;
    LOADED_NAME* entry = FindName(request->deviceName, 0);
    if (!entry || entry->count == 0)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    --entry->count;
    return STATUS_SUCCESS;
}

static ULONG CountVxdKeys(void)
{
    UNICODE_STRING path;
    OBJECT_ATTRIBUTES attributes;
    HANDLE key;
    struct {
        KEY_FULL_INFORMATION info;
        WCHAR className[64];
    } full;
    ULONG length = 0, count = 0;
    RtlInitUnicodeString(&path, L"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\VxD");
    InitializeObjectAttributes(&attributes, &path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL,
                               NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes)))
        return 0;
    if (NT_SUCCESS(ZwQueryKey(key, KeyFullInformation, &full, sizeof full, &length)))
        count = full.info.SubKeys;
    ZwClose(key);
    return count;
}

static void LogRequest(ULONG code, const char* in, ULONG inLen, ULONG outLen, NTSTATUS status)
{
    if (g_log.stored < VXDLDR_LOG_ENTRIES) {
        VXDLDR_LOG_ENTRY* entry = &g_log.entries[g_log.stored++];
        entry->code = code;
        entry->inputLength = inLen;
        entry->outputLength = outLen;
        entry->status = status;
        if (in)
            memcpy(entry->input, in, inLen < VXDLDR_LOG_INPUT ? inLen : VXDLDR_LOG_INPUT);
        entry->vxdKeys = CountVxdKeys();
        KeQuerySystemTime((PLARGE_INTEGER)&entry->time);
    }
    ++g_log.total;
}

static NTSTATUS HandleTestRequest(ULONG code, char* buffer, ULONG inLen, ULONG outLen,
                                  ULONG_PTR* information)
{
    if (code == VXDLDR_IOCTL_RESET) {
        if (inLen < sizeof(ULONG))
            return STATUS_INVALID_PARAMETER;
        g_acceptAllUnloads = *(const ULONG*)buffer;
        memset(g_names, 0, sizeof(g_names));
        memset(&g_log, 0, sizeof(g_log));
        return STATUS_SUCCESS;
    }
    if (code == VXDLDR_IOCTL_GET_LOG) {
        if (outLen < sizeof(VXDLDR_LOG))
            return STATUS_BUFFER_TOO_SMALL;
        g_log.openHandles = (ULONG)g_openHandles;
        memcpy(buffer, &g_log, sizeof(g_log));
        *information = sizeof(g_log);
        return STATUS_SUCCESS;
    }
    VXDLDR_COUNT* request = (VXDLDR_COUNT*)buffer;
    if (inLen < sizeof(VXDLDR_COUNT) ||
        BoundedLength(request->name, VXDLDR_NAME_SIZE) == VXDLDR_NAME_SIZE ||
        request->name[0] == '\0')
        return STATUS_INVALID_PARAMETER;
    LOADED_NAME* entry = FindName(request->name, code == VXDLDR_IOCTL_SET_COUNT);
    if (code == VXDLDR_IOCTL_SET_COUNT) {
        if (entry)
            entry->count = request->count;
        return entry ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
    }
    if (outLen < sizeof(VXDLDR_COUNT))
        return STATUS_BUFFER_TOO_SMALL;
    request->count = entry ? entry->count : 0;
    *information = sizeof(VXDLDR_COUNT);
    return STATUS_SUCCESS;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI VxdLdrDeviceControl(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG inLen = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLen = stack->Parameters.DeviceIoControl.OutputBufferLength;
    /* Codes 1 and 2 are METHOD_IN_DIRECT and METHOD_OUT_DIRECT: their input arrives buffered. */
    char* buffer = (code & 3) == METHOD_NEITHER
                       ? (char*)stack->Parameters.DeviceIoControl.Type3InputBuffer
                       : (char*)irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR information = 0;
    NTSTATUS status;

    KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL);
    if (code == VXDLDR_LOAD || code == VXDLDR_UNLOAD) {
        status = code == VXDLDR_LOAD ? HandleLoad(buffer, inLen) : HandleUnload(buffer, inLen);
        LogRequest(code, buffer, inLen, outLen, status);
    } else if (code == VXDLDR_IOCTL_RESET || code == VXDLDR_IOCTL_SET_COUNT ||
               code == VXDLDR_IOCTL_GET_COUNT || code == VXDLDR_IOCTL_GET_LOG) {
        status = HandleTestRequest(code, buffer, inLen, outLen, &information);
    } else {
        status = STATUS_INVALID_DEVICE_REQUEST;
        LogRequest(code, (code & 3) == METHOD_BUFFERED ? buffer : NULL, inLen, outLen, status);
    }
    KeReleaseMutex(&g_lock, FALSE);
    return Complete(irp, status, information);
}

static NTSTATUS NTAPI VxdLdrOpenClose(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    if (major == IRP_MJ_CREATE)
        InterlockedIncrement(&g_openHandles);
    else if (major == IRP_MJ_CLOSE)
        InterlockedDecrement(&g_openHandles);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static void NTAPI VxdLdrUnload(PDRIVER_OBJECT driver)
{
    (void)driver;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\DosDevices\\VXDLDR");
    IoDeleteSymbolicLink(&link);
    if (g_device)
        IoDeleteDevice(g_device);
    g_device = NULL;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)registryPath;
    UNICODE_STRING deviceName, link;
    RtlInitUnicodeString(&deviceName, L"\\Device\\VXDLDR");
    RtlInitUnicodeString(&link, L"\\DosDevices\\VXDLDR");
    KeInitializeMutex(&g_lock, 0);

    NTSTATUS status =
        IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_device);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&link, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(g_device);
        g_device = NULL;
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = VxdLdrOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = VxdLdrOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = VxdLdrOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = VxdLdrDeviceControl;
    driver->DriverUnload = VxdLdrUnload;
    return STATUS_SUCCESS;
}
