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
 *   - A text configure request whose password, new password or host name
 *     holds a ';' is refused (MDSP_SendConfigure returns 0,
 *     SMDSP_SendConfigure MDSP_RESULT_FAILED); nothing is sent. A ';' would
 *     end the value's piece and start one the caller never wrote.
 *   - The password SMDSP_SendConfigure copies into a text-protocol module's
 *     pending request is wiped once the request is sent (or refused).
 *   - A received datagram that is neither a notice nor secure and holds not
 *     one answer key is not an answer: no queued record, no module-table
 *     entry, no event.
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

/* Status codes of secure replies; SmdspCallback gets the code as its
 * argument. 0 to 3 raise events 3 to 6; 31 to 33 answer a Configure and
 * raise the event of the same number. */
enum {
  SMDSP_STATUS_UNABLE = 0,
  SMDSP_STATUS_INVALID_PASSWORD = 1,
  SMDSP_STATUS_INVALID_PASSWORD_2 = 2,
  SMDSP_STATUS_3 = 3,
  SMDSP_STATUS_HOSTNAME_TOO_LONG = 31,
  SMDSP_STATUS_PASSWORD_TOO_LONG = 32,
  SMDSP_STATUS_INVALID_CONFIGURATION = 33
};

/*
 * Module-description tags, read from a module-table entry with the
 * SMDSP_GetPayload functions. A secure module's Discover reply uses these
 * numbers; an entry made from a text answer carries tags 4 to 10 and 244 to
 * 254. Addresses are 4 bytes, least significant byte first, the first octet
 * of the dotted form most significant; two-byte values are little-endian;
 * texts carry no NUL.
 */
enum {
  SMDSP_TAG_PASSWORD_PROTECTED = 0,      /* 1 byte: 1 = the module has a password */
  SMDSP_TAG_VERSION_TEXT = 1,            /* text */
  SMDSP_TAG_MODULE_TYPE = 2,             /* text */
  SMDSP_TAG_IP = 4,                      /* 4 bytes */
  SMDSP_TAG_SUBNET_MASK = 5,             /* 4 bytes */
  SMDSP_TAG_GATEWAY = 6,                 /* 4 bytes */
  SMDSP_TAG_DNS1 = 7,                    /* 4 bytes */
  SMDSP_TAG_DNS2 = 8,                    /* 4 bytes */
  SMDSP_TAG_DHCP = 9,                    /* 1 byte: 1 on, 0 off */
  SMDSP_TAG_HOST_NAME = 10,              /* text */
  SMDSP_TAG_SEED = 244,                  /* text; text-protocol modules only */
  SMDSP_TAG_KERNEL_VERSION_BUILD = 245,  /* 2 bytes */
  SMDSP_TAG_KERNEL_VERSION_MINOR = 246,  /* 1 byte */
  SMDSP_TAG_KERNEL_VERSION_MAJOR = 247,  /* 1 byte */
  SMDSP_TAG_PASSWORD_SET = 248,          /* 1 byte: 1 on, 0 off */
  SMDSP_TAG_MODULE_VERSION_BUILD = 249,  /* 2 bytes */
  SMDSP_TAG_MODULE_VERSION_MINOR = 250,  /* 1 byte */
  SMDSP_TAG_MODULE_VERSION_MAJOR = 251,  /* 1 byte */
  SMDSP_TAG_FIELD_BUS_TYPE = 252,        /* text */
  SMDSP_TAG_PROTOCOL_VERSION_MINOR = 253, /* 1 byte */
  SMDSP_TAG_PROTOCOL_VERSION_MAJOR = 254, /* 1 byte */
  SMDSP_TAG_SECURE_MODULE = 255          /* 1 byte, value 1: added by the library to
                                            every wholly parsed Discover reply */
};

/* Configure tags, written into the pending configure request with
 * SMDSP_SetPayloadData (values, sizes as given) and SMDSP_SetPayloadString
 * (texts). The numbering differs from the description tags above. Tags from
 * SMDSP_CONFIGURE_TAG_FREE on reach a secure module unchanged. */
enum {
  SMDSP_CONFIGURE_TAG_IP = 0,          /* 4 bytes */
  SMDSP_CONFIGURE_TAG_SUBNET_MASK = 1, /* 4 bytes */
  SMDSP_CONFIGURE_TAG_GATEWAY = 2,     /* 4 bytes */
  SMDSP_CONFIGURE_TAG_DNS1 = 3,        /* 4 bytes */
  SMDSP_CONFIGURE_TAG_DNS2 = 4,        /* 4 bytes */
  SMDSP_CONFIGURE_TAG_DHCP = 5,        /* 1 byte: 1 on, 0 off */
  SMDSP_CONFIGURE_TAG_HOST_NAME = 6,   /* text */
  SMDSP_CONFIGURE_TAG_PASSWORD = 7,    /* text: the new password */
  SMDSP_CONFIGURE_TAG_FREE = 8
};

/* Limits. */
#define MDSP_TEXT_SIZE 128     /* every text field of the records, NUL included */
#define SMDSP_MAX_VALUE 255    /* bytes of one tag's value */
#define MDSP_MAX_NICS 64       /* interfaces listed by MDSP_GetNumberOfNics */
#define MDSP_MAX_DEVICES 64    /* slots of MDSP_SetNetworkDevice */
#define MDSP_CONFIGURE_TEXT_SIZE 512 /* a text configure request, NUL included */

/* The dhcp field of MdspConfigureRequest; any value but 0 and 1 leaves the
 * module's setting as it is. */
#define MDSP_DHCP_OFF 0
#define MDSP_DHCP_ON 1
#define MDSP_DHCP_UNCHANGED 0xFF

/*
 * One text-protocol answer. Every *Valid flag is 1 when the field was found
 * and parsed. Addresses hold the first octet of the dotted form in the most
 * significant byte. Texts are NUL-terminated.
 */
typedef struct MdspResponse {
  uint8_t protocolVersionMajor;
  uint8_t protocolVersionMinor;
  uint8_t protocolVersionValid;
  char fieldBusType[MDSP_TEXT_SIZE];
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
  char hostName[MDSP_TEXT_SIZE];
  uint8_t hostNameValid;
  uint32_t dns1;
  uint8_t dns1Valid;
  uint32_t dns2;
  uint8_t dns2Valid;
  char seed[MDSP_TEXT_SIZE];
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
  char password[MDSP_TEXT_SIZE];    /* current password; empty = none sent */
  uint8_t changePassword; /* non-zero = send newPassword */
  char newPassword[MDSP_TEXT_SIZE];
  uint32_t ip;            /* MDSP_ADDRESS_UNCHANGED = omit */
  uint32_t subnetMask;
  uint32_t gateway;
  uint8_t dhcp;           /* 0 off, 1 on, anything else = omit */
  char hostName[MDSP_TEXT_SIZE];     /* empty = clear the host name */
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

/*
 * Host interfaces and the worker.
 * "Leaves" names the internal error behind a failure (errors.h); the result
 * is derived from it as the Results paragraph above says.
 */

/* Lists the host's IPv4 interfaces with a MAC into the interface table and
 * stores their number in *count; sets the library up on first use.
 * MDSP_RESULT_OK; MDSP_RESULT_NOT_STARTED when the set-up fails;
 * MDSP_RESULT_FAILED when the system cannot list its interfaces (the table
 * keeps its earlier content) or count is null. */
MDSP_API int32_t MDSP_CALL MDSP_GetNumberOfNics(int32_t* count);
/* Address, MAC and description (cut to size, NUL-terminated) of interface
 * `index`; null outputs are skipped. MDSP_RESULT_OK;
 * MDSP_RESULT_NOT_STARTED before the library was set up;
 * MDSP_RESULT_FAILED for an index not listed or a size below 1 with a
 * description buffer. */
MDSP_API int32_t MDSP_CALL MDSP_GetNicInfo(uint32_t index, uint32_t* address, uint8_t* mac,
                                           char* description, int32_t size);
/* Ties socket slot `slot` to the listed interface with the dotted address
 * (null: any local address, the first interface's MAC). Slot 0 lists the
 * interfaces again and starts a new choice; slots are given in order.
 * 1 on success, 0 when the interfaces cannot be listed, the address is
 * malformed or not listed, or the slot is not the next one (at most
 * MDSP_MAX_DEVICES). */
MDSP_API int32_t MDSP_CALL MDSP_SetNetworkDevice(uint32_t slot, const char* address);
/* Starts the worker thread (sets the library up on first use); 1 on
 * success, 0 when the set-up or the thread fails. */
MDSP_API int32_t MDSP_CALL MDSP_Start(void);
/* Stops the worker thread and closes the sockets; always 1. */
MDSP_API int32_t MDSP_CALL MDSP_Stop(void);

/* Text protocol */

/* Registers the MdspCallback (null: none) and returns it. */
MDSP_API MdspCallback MDSP_CALL MDSP_RegisterCallBack(MdspCallback callback);
/* Empties the response queue, module table and restart list and broadcasts
 * the module scan. 1 on success; 0 before the library was set up or when a
 * socket fails. */
MDSP_API int32_t MDSP_CALL MDSP_SendModuleScan(void);
/* Moves the oldest queued answer into *response. 1 when one was copied, 0
 * when the queue is empty, response is null or the set-up fails. */
MDSP_API int32_t MDSP_CALL MDSP_GetResponse(MdspResponse* response);
/* Broadcasts the configure text built from *request. 1 on success; 0 before
 * the library was set up, for a null request, for a text longer than
 * MDSP_CONFIGURE_TEXT_SIZE or a value holding a ';' (nothing sent) or when
 * a socket fails. */
MDSP_API int32_t MDSP_CALL MDSP_SendConfigure(const MdspConfigureRequest* request);
/* Broadcasts the wink request for the module with this MAC (6 bytes).
 * 1 on success; 0 before the library was set up, for a null MAC or when a
 * socket fails. */
MDSP_API int32_t MDSP_CALL MDSP_SendWink(const uint8_t* mac);

/*
 * Secure protocol and module data. Each returns MDSP_RESULT_OK on success
 * and MDSP_RESULT_NOT_STARTED before the library was set up; the other
 * results are listed with each function.
 */

/* Registers the SmdspCallback (null: none) and returns it. */
MDSP_API SmdspCallback MDSP_CALL SMDSP_RegisterCallBack(SmdspCallback callback);
/* Empties the lists like MDSP_SendModuleScan, then broadcasts the module
 * scan and the secure Discover; `context` is handed to the events that
 * follow. MDSP_RESULT_SOCKET when a socket fails. */
MDSP_API int32_t MDSP_CALL SMDSP_SendDiscover(void* context);
/* Copies the value of `tag` of module `index` when its length is exactly
 * `size`. MDSP_RESULT_BAD_INDEX, MDSP_RESULT_NOT_FOUND (tag not reported),
 * MDSP_RESULT_INVALID_TAG (length differs), MDSP_RESULT_FAILED (null
 * buffer). */
MDSP_API int32_t MDSP_CALL SMDSP_GetPayloadData(int32_t tag, uint32_t index, void* buffer,
                                                int32_t size);
/* Copies the value when it fits *size and stores its length in *size.
 * MDSP_RESULT_BAD_INDEX, MDSP_RESULT_NOT_FOUND, MDSP_RESULT_INVALID_TAG
 * (value longer than *size), MDSP_RESULT_FAILED (null pointer). */
MDSP_API int32_t MDSP_CALL SMDSP_GetPayloadDataAndSize(int32_t tag, uint32_t index, void* buffer,
                                                       uint32_t* size);
/* Copies a text value NUL-terminated, cut to fit. Readable as text: tags 1,
 * 2, 10, 252 and above 12; others give MDSP_RESULT_INVALID_TAG.
 * MDSP_RESULT_BAD_INDEX, MDSP_RESULT_NOT_FOUND, MDSP_RESULT_FAILED (null
 * buffer, or size 0). */
MDSP_API int32_t MDSP_CALL SMDSP_GetPayloadString(int32_t tag, uint32_t index, char* buffer,
                                                  uint32_t size);
/* The MAC of module `index` (6 bytes). MDSP_RESULT_BAD_INDEX,
 * MDSP_RESULT_FAILED (null mac). */
MDSP_API int32_t MDSP_CALL SMDSP_GetModuleMac(uint32_t index, uint8_t* mac);
/* Starts a new, empty pending configure request for module `index`,
 * replacing an earlier one. MDSP_RESULT_BAD_INDEX, MDSP_RESULT_FAILED (out
 * of memory; the earlier request stays). */
MDSP_API int32_t MDSP_CALL SMDSP_CreateConfigureRequest(uint32_t index);
/* Adds one configure value. Size 4 allows tags 0 to 4, size 1 tag 5, any
 * size tags 8 to 255; otherwise MDSP_RESULT_INVALID_TAG.
 * MDSP_RESULT_BAD_INDEX when the request's module left the table;
 * MDSP_RESULT_FAILED for null data, no pending request, a value over
 * SMDSP_MAX_VALUE bytes, or a tag a text-protocol module cannot take. */
MDSP_API int32_t MDSP_CALL SMDSP_SetPayloadData(int32_t tag, const void* data, int32_t size);
/* Adds one configure text (tags 6 to 255, else MDSP_RESULT_INVALID_TAG).
 * MDSP_RESULT_TEXT_TOO_LONG for a text-protocol module and a text of
 * MDSP_TEXT_SIZE characters or more; MDSP_RESULT_BAD_INDEX;
 * MDSP_RESULT_FAILED for a null text, no pending request, a text over
 * SMDSP_MAX_VALUE characters, or a tag a text-protocol module cannot
 * take. */
MDSP_API int32_t MDSP_CALL SMDSP_SetPayloadString(int32_t tag, const char* text);
/* Sends the pending configure request: the configure text to a
 * text-protocol module, an authenticated Configure to a secure one.
 * MDSP_RESULT_BAD_INDEX, MDSP_RESULT_TEXT_TOO_LONG (text module, password
 * too long), MDSP_RESULT_SOCKET, MDSP_RESULT_FAILED (null credentials or
 * password, no pending request, no seed within 1000 ms, a request too long
 * for one datagram, a text module's value holding a ';'). */
MDSP_API int32_t MDSP_CALL SMDSP_SendConfigure(const SmdspCredentials* credentials);
/* Winks module `index`: the text wink for a text-protocol module, an
 * authenticated Wink carrying the low byte of `value` otherwise.
 * MDSP_RESULT_BAD_INDEX, MDSP_RESULT_SOCKET, MDSP_RESULT_FAILED (null
 * credentials or password, no seed within 1000 ms). */
MDSP_API int32_t MDSP_CALL SMDSP_SendWink(uint32_t index, int32_t value,
                                          const SmdspCredentials* credentials);
/* Opens a ping window of `seconds` and pings every module restarted since
 * the list was last emptied; event 9 reports at the window's end. A ping
 * that fails does not fail the call. */
MDSP_API int32_t MDSP_CALL SMDSP_SendPing(uint32_t seconds);
/* Restarts module `index` with an authenticated Restart carrying the low
 * byte of `value`, and adds it to the restart list. MDSP_RESULT_BAD_INDEX,
 * MDSP_RESULT_SOCKET, MDSP_RESULT_FAILED (null credentials or password, out
 * of memory, no seed within 1000 ms). */
MDSP_API int32_t MDSP_CALL SMDSP_SendRestart(uint32_t index, int32_t value,
                                             const SmdspCredentials* credentials);
/* Broadcasts a Mass restart. MDSP_RESULT_SOCKET when a socket fails. */
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
