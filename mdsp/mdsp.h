/*
 * mdsp: finds network modules by UDP broadcast on port 3250 and talks to them
 * in the plain text protocol and in the authenticated secure protocol.
 *
 * This header is the library's whole contract. It is plain C (C11 or C++),
 * uses fixed-width types only, and declares the 25 exported functions.
 *
 * Results
 *   MDSP_ request functions (MDSP_SetNetworkDevice, MDSP_Start,
 *   MDSP_SendModuleScan, MDSP_GetResponse, MDSP_SendConfigure, MDSP_SendWink)
 *   return 1 on success and 0 on failure. MDSP_Stop always returns 1.
 *   MDSP_GetNumberOfNics, MDSP_GetNicInfo and every SMDSP_ function return an
 *   MdspResult: 0 success, 1 not started, otherwise the code mapped from the
 *   internal error that made the call fail.
 *
 * Threads
 *   Callbacks run on the library's worker thread while it holds internal
 *   locks. A callback may call the library on that thread but must not wait
 *   for another thread that calls into the library; post the event to your
 *   own thread and read module data there.
 *
 * Decisions this library makes where the protocol leaves a choice
 *   - A text configure request that does not fit its 512-byte buffer is
 *     refused (MDSP_SendConfigure returns 0); nothing is sent.
 *   - No function reads through a null pointer it needs: it fails instead
 *     (MDSP_RESULT_FAILED, or 0 for the MDSP_ request functions).
 *   - The restart report array handed to event 9 is allocated with malloc();
 *     the callback owns it and releases it with free(). It holds one element
 *     per SMDSP_SendRestart since the restart list was last emptied (the
 *     event carries no count: callers count their restarts). elapsed is the
 *     seconds from the restart until the module answered a ping, -1.0 when
 *     it never did.
 *   - The last error is kept per thread, so a failure code is never mixed up
 *     with one stored meanwhile by the worker thread.
 *   - SMDSP_SendConfigure for a text-protocol module with a password of 128
 *     characters or more fails with MDSP_RESULT_TEXT_TOO_LONG; nothing is sent.
 */
#ifndef MDSP_MDSP_H
#define MDSP_MDSP_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define MDSP_API __declspec(dllexport)
#define MDSP_CALL __stdcall
#else
#define MDSP_API __attribute__((visibility("default")))
#define MDSP_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* UDP port of both protocols. */
#define MDSP_PORT 3250

/* Results of MDSP_GetNumberOfNics, MDSP_GetNicInfo and the SMDSP_ functions. */
enum {
  MDSP_RESULT_OK = 0,
  MDSP_RESULT_NOT_STARTED = 1,   /* library not started or its set-up failed */
  MDSP_RESULT_SOCKET = 2,        /* a socket could not be made, bound or used */
  MDSP_RESULT_BAD_INDEX = 3,     /* module index not in the module table */
  MDSP_RESULT_NOT_FOUND = 4,     /* the module did not report that tag */
  MDSP_RESULT_INVALID_TAG = 5,   /* tag or size not allowed for the call */
  MDSP_RESULT_TEXT_TOO_LONG = 6, /* text too long for a text-protocol module */
  MDSP_RESULT_FAILED = 8         /* any other failure */
};

/* Events of SmdspCallback (first argument). */
enum {
  SMDSP_EVENT_MODULE_FOUND = 1,
  SMDSP_EVENT_CONFIGURED = 2,
  SMDSP_EVENT_UNABLE = 3,              /* "Unable to fulfill the request" */
  SMDSP_EVENT_INVALID_PASSWORD = 4,    /* status 1, or text "Invalid Password:" */
  SMDSP_EVENT_INVALID_PASSWORD_2 = 5,  /* status 2 */
  SMDSP_EVENT_STATUS_3 = 6,
  SMDSP_EVENT_WINKED = 7,
  SMDSP_EVENT_RESTARTED = 8,
  SMDSP_EVENT_RESTART_REPORT = 9,      /* context = SmdspRestartReport array */
  SMDSP_EVENT_HOSTNAME_TOO_LONG = 31,
  SMDSP_EVENT_PASSWORD_TOO_LONG = 32,
  SMDSP_EVENT_INVALID_CONFIGURATION = 33
};

/* Events of MdspCallback. */
enum {
  MDSP_EVENT_MODULE_ANSWERED = 1,
  MDSP_EVENT_RECONFIGURED = 2,
  MDSP_EVENT_INVALID_PASSWORD = 3,
  MDSP_EVENT_INVALID_CONFIGURATION = 4
};

/*
 * One text-protocol answer. Every *Valid flag is 1 when the field was found
 * and parsed. Addresses hold the first octet of the dotted form in the most
 * significant byte. Texts are NUL-terminated.
 */
typedef struct MdspResponse {
  uint8_t protocolVersionMajor;
  uint8_t protocolVersionMinor;
  uint8_t protocolVersionValid;
  char fieldBusType[128];
  uint8_t fieldBusTypeValid;
  uint8_t moduleVersionMajor;
  uint8_t moduleVersionMinor;
  uint16_t moduleVersionBuild;
  uint8_t moduleVersionValid;
  uint8_t mac[6];
  uint8_t macValid;
  uint32_t ip;
  uint8_t ipValid;
  uint32_t subnetMask;
  uint8_t subnetMaskValid;
  uint32_t gateway;
  uint8_t gatewayValid;
  uint8_t dhcpOn;
  uint8_t dhcpValid;
  uint8_t passwordSet;
  uint8_t passwordValid;
  char hostName[128];
  uint8_t hostNameValid;
  uint32_t dns1;
  uint8_t dns1Valid;
  uint32_t dns2;
  uint8_t dns2Valid;
  char seed[128];
  uint8_t seedValid;
  uint8_t kernelVersionMajor;
  uint8_t kernelVersionMinor;
  uint16_t kernelVersionBuild;
  uint8_t kernelVersionValid;
} MdspResponse;

/* Leaves an address field of MdspConfigureRequest unchanged. */
#define MDSP_ADDRESS_UNCHANGED 0xFFFFFFFFu

/* Input of MDSP_SendConfigure. */
typedef struct MdspConfigureRequest {
  uint8_t mac[6];
  char password[128];    /* current password; empty = none sent */
  uint8_t changePassword; /* non-zero = send newPassword */
  char newPassword[128];
  uint32_t ip;            /* MDSP_ADDRESS_UNCHANGED = omit */
  uint32_t subnetMask;
  uint32_t gateway;
  uint8_t dhcp;           /* 0 off, 1 on, anything else = omit */
  char hostName[128];     /* empty = clear the host name */
  uint32_t dns1;
  uint32_t dns2;
} MdspConfigureRequest;

/* Passed to the authenticated SMDSP_ operations; owned by the caller. For
 * SMDSP_SendRestart it must stay valid until the restart list is cleared (the
 * next discover, scan or restart report). */
typedef struct SmdspCredentials {
  const char* password; /* NUL-terminated; may be empty, never null */
  void* reserved;       /* not read by the library */
  void* context;        /* handed to the callback as its context */
} SmdspCredentials;

/* One element of the restart report of event 9. */
typedef struct SmdspRestartReport {
  uint32_t moduleIndex;
  double elapsed; /* seconds from the restart until the module answered a
                     ping; -1.0 when it never did */
} SmdspRestartReport;

/* Filled by DllGetVersion; cbSize is not examined. */
typedef struct DLLVERSIONINFO {
  uint32_t cbSize;
  uint32_t dwMajorVersion;
  uint32_t dwMinorVersion;
  uint32_t dwBuildNumber;
  uint32_t dwPlatformID;
} DLLVERSIONINFO;

typedef void(MDSP_CALL* MdspCallback)(int32_t event, uint8_t* mac);
typedef int32_t(MDSP_CALL* SmdspCallback)(int32_t event, int32_t index, uint8_t* mac,
                                          int32_t argument, void* context);

/* Host interfaces and the worker */
MDSP_API int32_t MDSP_CALL MDSP_GetNumberOfNics(int32_t* count);
MDSP_API int32_t MDSP_CALL MDSP_GetNicInfo(uint32_t index, uint32_t* address, uint8_t* mac,
                                           char* description, int32_t size);
MDSP_API int32_t MDSP_CALL MDSP_SetNetworkDevice(uint32_t slot, const char* address);
MDSP_API int32_t MDSP_CALL MDSP_Start(void);
MDSP_API int32_t MDSP_CALL MDSP_Stop(void);

/* Text protocol */
MDSP_API MdspCallback MDSP_CALL MDSP_RegisterCallBack(MdspCallback callback);
MDSP_API int32_t MDSP_CALL MDSP_SendModuleScan(void);
MDSP_API int32_t MDSP_CALL MDSP_GetResponse(MdspResponse* response);
MDSP_API int32_t MDSP_CALL MDSP_SendConfigure(const MdspConfigureRequest* request);
MDSP_API int32_t MDSP_CALL MDSP_SendWink(const uint8_t* mac);

/* Secure protocol and module data */
MDSP_API SmdspCallback MDSP_CALL SMDSP_RegisterCallBack(SmdspCallback callback);
MDSP_API int32_t MDSP_CALL SMDSP_SendDiscover(void* context);
MDSP_API int32_t MDSP_CALL SMDSP_GetPayloadData(int32_t tag, uint32_t index, void* buffer,
                                                int32_t size);
MDSP_API int32_t MDSP_CALL SMDSP_GetPayloadDataAndSize(int32_t tag, uint32_t index, void* buffer,
                                                       uint32_t* size);
MDSP_API int32_t MDSP_CALL SMDSP_GetPayloadString(int32_t tag, uint32_t index, char* buffer,
                                                  uint32_t size);
MDSP_API int32_t MDSP_CALL SMDSP_GetModuleMac(uint32_t index, uint8_t* mac);
MDSP_API int32_t MDSP_CALL SMDSP_CreateConfigureRequest(uint32_t index);
MDSP_API int32_t MDSP_CALL SMDSP_SetPayloadData(int32_t tag, const void* data, int32_t size);
MDSP_API int32_t MDSP_CALL SMDSP_SetPayloadString(int32_t tag, const char* text);
MDSP_API int32_t MDSP_CALL SMDSP_SendConfigure(const SmdspCredentials* credentials);
MDSP_API int32_t MDSP_CALL SMDSP_SendWink(uint32_t index, int32_t value,
                                          const SmdspCredentials* credentials);
MDSP_API int32_t MDSP_CALL SMDSP_SendPing(uint32_t seconds);
MDSP_API int32_t MDSP_CALL SMDSP_SendRestart(uint32_t index, int32_t value,
                                             const SmdspCredentials* credentials);
MDSP_API int32_t MDSP_CALL SMDSP_SendMassRestart(void);

/* Version of the library file (major 3, minor 1); always returns 0. */
MDSP_API int32_t MDSP_CALL DllGetVersion(DLLVERSIONINFO* info);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The records cross the library boundary: their layout is fixed. */
#ifdef __cplusplus
#define MDSP_STATIC_ASSERT static_assert
#else
#define MDSP_STATIC_ASSERT _Static_assert
#endif
MDSP_STATIC_ASSERT(offsetof(MdspResponse, fieldBusType) == 3, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, moduleVersionBuild) == 134, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, mac) == 137, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, ip) == 144, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, subnetMask) == 152, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, gateway) == 160, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, dhcpOn) == 165, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, hostName) == 169, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, dns1) == 300, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, dns2) == 308, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, seed) == 313, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, kernelVersionBuild) == 444, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspResponse, kernelVersionValid) == 446, "MdspResponse layout");
MDSP_STATIC_ASSERT(sizeof(MdspResponse) == 448, "MdspResponse layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, password) == 6, "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, changePassword) == 134,
                   "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, newPassword) == 135,
                   "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, ip) == 264, "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, dhcp) == 276, "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, hostName) == 277, "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, dns1) == 408, "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(MdspConfigureRequest, dns2) == 412, "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(sizeof(MdspConfigureRequest) == 416, "MdspConfigureRequest layout");
MDSP_STATIC_ASSERT(offsetof(SmdspCredentials, context) == 2 * sizeof(void*),
                   "SmdspCredentials layout");
MDSP_STATIC_ASSERT(offsetof(SmdspRestartReport, elapsed) == 8, "SmdspRestartReport layout");
MDSP_STATIC_ASSERT(sizeof(DLLVERSIONINFO) == 20, "DLLVERSIONINFO layout");

#endif /* MDSP_MDSP_H */
