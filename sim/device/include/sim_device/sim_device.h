#ifndef SIM_DEVICE_SIM_DEVICE_H
#define SIM_DEVICE_SIM_DEVICE_H
/* Control of the simulated capture device behind the USB driver port. Until fvsim_reset is
   called the simulator runs its demonstration set-up: one device of type 1 with a finger
   placed for 3 s and lifted for 3 s in turn, on the platform clock. */

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FvSimDeviceConfig {
  int type;              /* 1, 2: 8-bit frames; 3, 16, 18: 16-bit frames, two sensors */
  unsigned productId;    /* reported in the device information */
  int width;             /* native raw frame size */
  int height;
  int maxExposure;
  int exposureUnit;      /* exposure at which frames show the scene at its own brightness */
  int cold;              /* frames only after a firmware download and a reconnect */
} FvSimDeviceConfig;

/* Frame brightness: a pixel of sensor s is the scene's grey times exposure[s] / exposureUnit
   times its channel's gain, under the backlight. The four gain words of request 0xB3 drive the
   four channels of each 2 x 2 cell of the raw frame: word 1 even rows and even columns, word 2
   even rows and odd columns, word 3 odd rows and even columns, word 4 odd rows and odd columns.
   A word's low 6 bits are its gain (32: unity); the bits above must be the mode bits of the
   device's product (0x40 for 0x8431, 0x80 for 0x8232 and 0x8243, none for any other), or the
   channel runs in its low range at a quarter of that gain. 16-bit types send every pixel as a
   pair: sensor 0's value, then sensor 1's; both sensors see the same scene with the same
   read-out noise. */

/* The usual configuration of a device type; 0 for an unknown type. */
int fvsim_default_config(int type, FvSimDeviceConfig* config);

/* Leaves the demonstration: no devices, an empty trace, no faults, no handles. */
void fvsim_reset(void);
/* Appends a device; returns its index, or -1 for a bad configuration. */
int fvsim_plug(const FvSimDeviceConfig* config);
int fvsim_plug_type(int type);
/* Frames come on bulk IN endpoint 0x82, whatever the descriptors say. A reconnect makes the
   device enumerate anew: its open handles reach nothing any more (they can still be closed). */
/* Removes a device; later devices move down one index. Its handles fail every request from
   now on and its pending requests fail at once. 0 for a bad index. */
int fvsim_unplug(int index);
int fvsim_device_count(void);
int fvsim_device_type(int index); /* 0 for a bad index */

/* A finger placed (present != 0) or lifted; each placement is a new capture of the finger. */
int fvsim_set_finger(int index, int present);
/* The non-zero byte the finger sensor answers while a finger lies on it (1 unless set). */
int fvsim_set_finger_byte(int index, int value);
/* The language ids the device lists (0x0409 unless set); strings come only in those. */
int fvsim_set_languages(int index, const unsigned short* ids, int count);
/* The 8192 firmware bytes received by address since the controller was last held. */
int fvsim_get_firmware(int index, unsigned char* out, int size);
/* Which finger lies on the sensor (the seed of its synthetic image), at once. */
int fvsim_set_finger_seed(int index, unsigned long long seed);

/* How far placements of one finger differ, as standard deviations: shifts along and across
   the finger in pixels of the 320 x 240 frame, rotation in the plane and roll about the
   finger's own axis in degrees, press (relative flattening, which also pales the veins) and
   light (relative brightness, and its swing along the finger). The defaults are fitted so
   that placements of simulated fingers score against each other as captures of real fingers
   do; tools that measure this change them. For every device, from the next placement on. */
typedef struct FvSimPlacementSpread {
  double shiftAlong, shiftAcross;
  double rotationDeg, rollDeg;
  double press, light;
} FvSimPlacementSpread;
int fvsim_set_placement_spread(const FvSimPlacementSpread* spread);
int fvsim_get_placement_spread(FvSimPlacementSpread* spread);

/* Faults for the next `count` transfer requests (control, bulk) of a device, or its next
   `count` handle closes for FVSIM_FAULT_CLOSE. A later call for the same fault replaces it. */
enum {
  FVSIM_FAULT_FAIL = 1,  /* refused at once */
  FVSIM_FAULT_STALL = 2, /* pending until the pipe is aborted, the handle closed or unplugged */
  FVSIM_FAULT_SHORT = 3, /* answers half the requested bytes */
  FVSIM_FAULT_LONG = 4,  /* claims 16 bytes more than the buffer holds */
  FVSIM_FAULT_CLOSE = 5  /* the handle close reports failure (the handle is gone all the same) */
};
int fvsim_inject(int index, int fault, int count);
/* Refuses the next `count` control requests with the code `request` (bRequest), others pass. */
int fvsim_inject_request(int index, int request, int count);
/* The same with another fault for those requests: FVSIM_FAULT_FAIL, _STALL or _SHORT. */
int fvsim_inject_request_fault(int index, int request, int fault, int count);

/* Replaces the device's descriptor answers: kind 1 device descriptor, 2 configuration
   descriptor (with its interfaces and endpoints). At most 1024 bytes. */
int fvsim_set_descriptor(int index, int kind, const unsigned char* bytes, int length);
/* The frame size the device answers to request 0xB2, apart from the frames it sends. */
int fvsim_set_reported_size(int index, int width, int height);

typedef struct FvSimDeviceState {
  int exposure[2];          /* per sensor, as last set */
  unsigned gain[2][4];      /* the gain words as sent */
  unsigned char backlight[8];
  unsigned char led[2];
  int cold;                 /* still without firmware */
  int firmwareDownloads;    /* complete downloads (hold, whole image, release) */
  int reconnects;
  unsigned transferSize;    /* last transfer size set on the bulk IN endpoint */
} FvSimDeviceState;
int fvsim_get_state(int index, FvSimDeviceState* state);

/* The 256-byte on-board memory. */
int fvsim_get_memory(int index, unsigned char* out256);
int fvsim_set_memory(int index, int offset, const unsigned char* bytes, int length);

/* The ordered trace of requests (the last 65536 are kept). */
enum { FVSIM_TRACE_OPEN = 1, FVSIM_TRACE_CLOSE = 2, FVSIM_TRACE_IOCTL = 3 };
enum { FVSIM_DONE = 0, FVSIM_PENDING = 1, FVSIM_FAILED = 2 };
typedef struct FvSimTraceEntry {
  int kind;
  int device;              /* index of the device then, -1 for a request on a lost handle */
  unsigned code;           /* driver request */
  unsigned char requestType, request;
  unsigned short value, index, length;
  unsigned char endpoint;
  unsigned timeoutSeconds;
  unsigned transferLength; /* data bytes asked for or sent */
  int outcome;
  int dataBytes;           /* how many of the request's first OUT bytes follow */
  unsigned char data[16];
  int refused;             /* the device refused the control request (it stalls) */
} FvSimTraceEntry;
int fvsim_trace_count(void);
int fvsim_trace_get(int i, FvSimTraceEntry* entry);
void fvsim_trace_clear(void);
/* From now on (on != 0) the trace keeps every transfer's whole data: what a control or bulk
   OUT request sent, or what the device answered to an IN request. Off by default. */
void fvsim_trace_whole_data(int on);
/* The whole data of trace entry i, at most `size` bytes into out (which may be null); its
   length, or -1 for a bad index. */
int fvsim_trace_data(int i, unsigned char* out, int size);

#ifdef __cplusplus
}
#endif

#endif
