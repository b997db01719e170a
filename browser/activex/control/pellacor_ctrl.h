#pragma once
// The control a page embeds: its COM identity (dispatch interface _DPellacor, events
// _DPellacorEvents, OLE object, persistence, drawing, property pages, scripting safety) and
// its 69 script methods.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>

#include "control/orvek_time.h"
#include "data/finger_data.h"
#include "dialogs/finger_dlg.h"
#include "dialogs/main_dlg.h"
#include "fvplatform/connection_point.h"
#include "fvplatform/dispatch_table.h"
#include "fvplatform/ole_control.h"
#include "fvplatform/oleauto.h"
#include "recording/liveness_prompts.h"
#include "worker/finger_model.h"
#include "worker/finger_recog.h"
#include "worker/worker_owner.h"

class CPellacorCtrl final : public IDispatch,
                            public IOleObject,
                            public IConnectionPointContainer,
                            public COrvekTime,
                            public fvbrowser::WorkerOwner {
 public:
  CPellacorCtrl();
  ~CPellacorCtrl();
  CPellacorCtrl(const CPellacorCtrl&) = delete;
  CPellacorCtrl& operator=(const CPellacorCtrl&) = delete;

  // IUnknown
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IDispatch: driven by the method table.
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // IOleObject: what a container uses to site, activate and close the control.
  HRESULT SetClientSite(IOleClientSite* site) override;
  HRESULT GetClientSite(IOleClientSite** site) override;
  HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) override;
  HRESULT Close(DWORD saveOption) override;
  HRESULT SetMoniker(DWORD whichMoniker, IMoniker* moniker) override;
  HRESULT GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) override;
  HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT DoVerb(LONG verb, MSG* message, IOleClientSite* activeSite, LONG index, HWND parent,
                 const RECT* position) override;
  HRESULT EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT Update() override;
  HRESULT IsUpToDate() override;
  HRESULT GetUserClassID(CLSID* clsid) override;
  HRESULT GetUserType(DWORD form, LPOLESTR* userType) override;
  HRESULT SetExtent(DWORD drawAspect, SIZEL* size) override;
  HRESULT GetExtent(DWORD drawAspect, SIZEL* size) override;
  HRESULT Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT Unadvise(DWORD connection) override;
  HRESULT EnumAdvise(IEnumSTATDATA** advise) override;
  HRESULT GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT SetColorScheme(LOGPALETTE* palette) override;

  // IConnectionPointContainer: the one point of _DPellacorEvents.
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

  // Script methods, in DISPID order.
  void AboutBox();
  std::int32_t ORVEK_Init_Face(const std::string& initPara);
  std::int32_t ORVEK_CloseCameraDev(std::int32_t nLightType);
  std::int32_t ORVEK_StopModel_Face();
  std::int32_t ORVEK_StopRecog_Face();
  std::int32_t ORVEK_Init_Vein(const std::string& initPara);
  std::int32_t ORVEK_StopModel_Vein();
  std::int32_t ORVEK_StopRecog_Vein();
  std::int32_t ORVEK_SetVeinModelStatus(std::int32_t nStatus);
  std::int32_t ORVEK_SetVeinRecogStatus(std::int32_t nStatus);
  std::int32_t ORVEK_GetVeinModelStatus();
  std::int32_t ORVEK_GetVeinRecogStatus();
  std::int32_t ORVEK_CloseVeinDev();
  std::int32_t ORVEK_Init_FingerPr(const std::string& initPara);
  std::int32_t ORVEK_StopModel_FingerPr();
  std::int32_t ORVEK_StopRecog_FingerPr();
  std::int32_t ORVEK_SetFingerPrModelStatus(std::int32_t nStatus);
  std::int32_t ORVEK_GetFingerPrModelStatus();
  std::int32_t ORVEK_SetFingerPrRecogStatus(std::int32_t nStatus);
  std::int32_t ORVEK_GetFingerPrRecogStatus();
  std::int32_t ORVEK_CloseFPrintDev();
  std::int32_t ORVEK_StartModel_Face();
  std::int32_t ORVEK_OpenCameraDev(std::int32_t nLightType);
  std::int32_t ORVEK_StartRecog_Face(const std::string& jsonFeatures, std::int32_t nType);
  std::int32_t ORVEK_StartModel_Vein();
  std::int32_t ORVEK_StartRecog_Vein(const std::string& jsonFeatures);
  std::int32_t ORVEK_OpenVeinDev();
  std::int32_t ORVEK_StartModel_FingerPr();
  std::int32_t ORVEK_StartRecog_FingerPr(const std::string& jsonFeatures);
  std::int32_t ORVEK_OpenFPrintDev();
  std::string ORVEK_GetAlgorithmVersion_Face();
  std::string ORVEK_GetAlgorithmVersion_Vein();
  std::string ORVEK_GetAlgorithmVersion_FingerPtr();
  std::string ORVEK_CutPicture(std::uint8_t* picData, std::int32_t width, std::int32_t height);
  std::string ORVEK_CutPictureFromFile(const std::string& path);
  std::string ORVEK_TakePicture();
  std::string ORVEK_TakePictureNIR();
  std::string ORVEK_GetVersion();
  void ORVEK_ShowMask(std::int32_t lShow);
  std::string ORVEK_ExtractFaceFeature(const std::string& picData);
  std::string ORVEK_ExtractFaceFeatureNIR(const std::string& picData);
  std::string ORVEK_ExtractVeinFeature(const std::string& picData);
  std::string ORVEK_ExtractFingerPFeature(const std::string& picData);
  float ORVEK_FaceImageCompare(const std::string& picData1, const std::string& picData2,
                               std::int32_t nFeatType);
  float ORVEK_FaceFeatureCompare(const std::string& featData1, const std::string& featData2,
                                 std::int32_t nFeatType);
  std::int32_t ORVEK_VeinFeatureCompare(const std::string& feature1, const std::string& feature2);
  std::int32_t InitParam(const std::string& bParam);
  std::int32_t CompleteCapture();
  std::int32_t CancelCapture();
  std::int32_t CheckRunntingEnv(std::int32_t nType);
  std::string StartCapture();
  std::int32_t UploadFileByKey(const std::string& bsKey);
  std::string ReName(const std::string& bsOriFileName, const std::string& bsKey);
  std::int32_t GetRecordStatus();
  std::string GetUploadInfoByKey(const std::string& bsKey);
  std::string GetMachineCode();
  std::int32_t EndPreView();
  std::int32_t StartPreView(const std::string& bsAudioDevice, const std::string& bsVideoDevice);
  std::string GetVersion();
  std::int32_t DeleteFileByKey(const std::string& bsKey);
  void UpLoadVedio(const std::string& strUpLoadUrl);
  void UploadVedioFile(const std::string& strUpLoadUrl, const std::string& strFileName);
  float ORVEK_FingerFeatureCompare(const std::string& featData1, const std::string& featData2);
  float ORVEK_FingerImageCompare(const std::string& picData1, const std::string& picData2);
  std::int32_t ORVEK_VeinImageCompare(const std::string& picData1, const std::string& picData2);
  std::int32_t ORVEK_SetLed(std::int32_t color, std::int32_t bFlush);
  std::int32_t ORVEK_PictureQualityAsses(const std::string& str);
  std::int32_t ORVEK_TakeVeinPicture();
  std::int32_t ORVEK_GetFingerState();

  // The method table behind IDispatch.
  static std::span<const fvplat::com::DispEntry<CPellacorCtrl>> DispatchTable();

  // What the workers get from their owner; fetchFrame and the reports run on worker threads.
  int fetchFrame(fvbrowser::FingerBusiness& worker, int& code, int limitMs, fvbrowser::Bytes& frame,
                 int& quality) override;
  int getFingerState() override;
  void deliverReport(const fvbrowser::Report& report) override;

  // The liveness prompt tick, on the timer thread.
  void onTimer() override;

  // The page's list of candidate templates: a bare base64 template, a JSON array of them, or
  // an object with "num" and members "0", "1", ...; empty when the text is refused.
  static void loadFeatureList(const std::string& text, std::vector<fvbrowser::Bytes>& list);
  // The most templates a list may hold.
  static constexpr int kMaxFeatureListSize = 10000;

  // Messages of the control's window, on the window's thread.
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  // The persistent state's version, written first by both persistence interfaces.
  static constexpr LONG kPersistVersion = 0x10000;
  // The extent a new control has: its 320 x 240-pixel window in 0.01 mm.
  static constexpr SIZEL kDefaultExtent{8467, 6350};

  // One property exchange: the version, then the base properties (the extent).
  class PropExchange {
   public:
    virtual ~PropExchange() = default;
    virtual bool loading() const = 0;
    // Saving writes `value`; loading reads it (`fallback` where a property may be absent).
    // False when the value cannot be written or read.
    virtual bool ExchangeLong(const char16_t* name, LONG& value, LONG fallback) = 0;
  };

 private:
  // An interface of the control with the control's own identity and reference count.
  template <class Interface>
  class InterfacePart : public Interface {
   public:
    explicit InterfacePart(CPellacorCtrl& owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
      return owner_.ControllingUnknown()->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return owner_.ControllingUnknown()->AddRef(); }
    ULONG Release() override { return owner_.ControllingUnknown()->Release(); }

   protected:
    CPellacorCtrl& owner_;
  };

  class XObjSafe final : public InterfacePart<IObjectSafety> {
   public:
    using InterfacePart::InterfacePart;
    HRESULT GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    HRESULT SetInterfaceSafetyOptions(REFIID riid, DWORD optionMask, DWORD enabled) override;
  };

  class XPersistStreamInit final : public InterfacePart<IPersistStreamInit> {
   public:
    using InterfacePart::InterfacePart;
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT IsDirty() override;
    // A stream of another version, or one that ends early, is refused and changes nothing.
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, BOOL clearDirty) override;
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT InitNew() override;
  };

  class XPersistPropertyBag final : public InterfacePart<IPersistPropertyBag> {
   public:
    using InterfacePart::InterfacePart;
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT InitNew() override;
    // Absent properties keep their defaults; another version or a value that is no number
    // is refused and changes nothing.
    HRESULT Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;
  };

  // Drawing fills the given rectangle white.
  class XViewObject final : public InterfacePart<IViewObject> {
   public:
    using InterfacePart::InterfacePart;
    HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                 HDC targetDevice, HDC draw, const RECTL* bounds, const RECTL* metafileBounds,
                 ContinueDrawing keepGoing, ULONG_PTR keepGoingArgument) override;
    HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                        HDC targetDevice, LOGPALETTE** colours) override;
    HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    HRESULT Unfreeze(DWORD freeze) override;
    HRESULT SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  };

  // The one property page, CPellacorPropPage.
  class XSpecifyPropertyPages final : public InterfacePart<ISpecifyPropertyPages> {
   public:
    using InterfacePart::InterfacePart;
    HRESULT GetPages(CAUUID* pages) override;
  };

  IUnknown* ControllingUnknown() { return static_cast<IDispatch*>(this); }
  // The version and the base properties; nothing changes unless the whole load succeeds.
  bool DoPropExchange(PropExchange& exchange);
  // The base reset: the state of a new control.
  void ResetState();
  // The Properties verb: the property frame with the control's pages, modal.
  HRESULT OnProperties(HWND parent);
  static LRESULT StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateControlWindow(HWND parent, const RECT* position);
  void DestroyControlWindow();
  // Posts a copy of `text` to the control's window; the window takes it over. A post that
  // fails frees it, and texts still queued when the window goes are freed with the control.
  void PostText(UINT message, WPARAM wParam, const std::string& text);
  // Takes over a text that came with a message (null for none).
  std::unique_ptr<std::string> TakeText(LPARAM lParam);
  void postVedioStep(const std::string& text);
  // The speaker's master volume (0.0 to 1.0, -1.0 when muted), or the failing step's HRESULT.
  HRESULT getMasterVolume(float& level);
  // Hands "url,path" to the local upload service.
  void uploadToService(const std::string& url, const std::string& path);
  void StopWorker(fvbrowser::FingerBusiness* worker);
  template <class Worker>
  static void DeleteWorker(std::unique_ptr<Worker>& worker);
  // Fires event `id` with one text to every sink.
  void FireText(DISPID id, const std::string& text);
  void OnSetClientSite();
  void ReleaseControl();

  std::atomic<ULONG> m_refs{1};
  XObjSafe m_xObjSafe{*this};
  XPersistStreamInit m_xPersistStreamInit{*this};
  XPersistPropertyBag m_xPersistPropertyBag{*this};
  XViewObject m_xViewObject{*this};
  XSpecifyPropertyPages m_xSpecifyPropertyPages{*this};
  fvplat::com::ConnectionPoint m_events;
  IOleClientSite* m_clientSite = nullptr;
  IWebBrowser2* m_webBrowser = nullptr;
  SIZEL m_extent = kDefaultExtent;
  bool m_modified = false;  // the persistent state changed since it was last saved or loaded

  std::atomic<HWND> m_hWnd{nullptr};
  CFingerDlg m_fingerDlg;  // the preview window the device library draws into
  CMainDlg m_mainDlg;      // constructed with the control, never shown
  std::atomic<bool> m_bHasOpenVein{false};  // read by the workers' frame source
  std::unique_ptr<fvbrowser::FingerModel> m_model;
  std::unique_ptr<fvbrowser::FingerRecog> m_recog;
  fvbrowser::FingerData m_pictures;
  fvbrowser::FrameBuffer m_frames;
  pellacor::LivenessPrompts m_liveness;

  // Upload settings of "InitParam"; only the minimum volume is read again.
  std::string m_strUploadUrl;
  std::string m_strVersion;
  int m_uploadSectionSize = 200;
  float m_minMasterVolume = 0.0f;  // a percentage
  int m_xRatio = 1366;
  int m_yRatio = 768;
  // The capture graph is never built here: its media control stays null.
  IUnknown* m_mediaControl = nullptr;
  std::string m_currentRecording;  // full path of the recording in progress
  std::string m_lastRecording;     // full path handed to "UpLoadVedio"

  std::mutex m_textLock;
  std::set<std::string*> m_textsInFlight;  // posted, not yet taken by the window
};

// Reports of a worker on its way out are dropped; its destructor stops and joins its thread.
template <class Worker>
void CPellacorCtrl::DeleteWorker(std::unique_ptr<Worker>& worker) {
  if (!worker) return;
  worker->beginTeardown();
  worker.reset();
}
