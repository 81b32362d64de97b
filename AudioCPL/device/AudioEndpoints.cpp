#include "AudioEndpoints.h"

#include <mmdeviceapi.h>
#include <propidl.h>
#include <propsys.h>

#include <cstring>

namespace rk50 {

namespace {

// {BCDE0395-E52F-467C-8E3D-C4579291692E}
const CLSID kMMDeviceEnumeratorClass = {0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
// The endpoint's device-instance path, {B3F8FA53-0004-438E-9003-51A46E139BFC},2.
const PROPERTYKEY kDeviceInstancePathKey = {
    {0xb3f8fa53, 0x0004, 0x438e, {0x90, 0x03, 0x51, 0xa4, 0x6e, 0x13, 0x9b, 0xfc}}, 2};

constexpr int kTextChars = 260;
const wchar_t kNotAvailable[] = L"<Device not available>";

template <typename T>
void release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// The endpoint's device-instance path; false when its value is not a string,
// which matches nothing.
bool readInstancePath(IMMDeviceCollection* collection, UINT index, wchar_t (&text)[kTextChars],
                      IMMDevice*& device)
{
    lstrcpynW(text, kNotAvailable, kTextChars);
    if (FAILED(collection->Item(index, &device)) || !device)
        return true;
    IPropertyStore* store = nullptr;
    if (FAILED(device->OpenPropertyStore(STGM_READ, &store)) || !store)
        return true;
    PROPVARIANT value;
    PropVariantInit(&value);
    bool isString = true;
    if (SUCCEEDED(store->GetValue(kDeviceInstancePathKey, &value))) {
        if (value.vt == VT_LPWSTR && value.pwszVal)
            lstrcpynW(text, value.pwszVal, kTextChars);
        else if (value.vt == VT_BSTR && value.bstrVal)
            lstrcpynW(text, value.bstrVal, kTextChars);
        else if (value.vt != VT_EMPTY)
            isString = false;
    }
    PropVariantClear(&value);
    release(store);
    return isString;
}

bool containsUpper(const wchar_t* text, const char* upperMatch)
{
    char ansi[kTextChars] = "";
    // The replacement character for what the code page lacks cannot be part
    // of an ASCII match text.
    if (!WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, kTextChars, nullptr, nullptr))
        ansi[kTextChars - 1] = '\0';
    CharUpperBuffA(ansi, lstrlenA(ansi));
    return strstr(ansi, upperMatch) != nullptr;
}

}  // namespace

bool FindAudioEndpoints(const char* matchText, int direction, EndpointId* table, int& count)
{
    count = 0;
    if (!matchText || !table)
        return false;
    char match[kTextChars] = "";
    lstrcpynA(match, matchText, kTextChars);
    CharUpperBuffA(match, lstrlenA(match));

    // The result is ignored: a thread already in a single-threaded apartment
    // can still create the enumerator.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IMMDeviceEnumerator* enumerator = nullptr;
    if (FAILED(CoCreateInstance(kMMDeviceEnumeratorClass, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                reinterpret_cast<void**>(&enumerator))) ||
        !enumerator)
        return false;

    IMMDeviceCollection* collection = nullptr;
    const EDataFlow flow = direction == EndpointCapture ? eCapture : eRender;
    UINT endpoints = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &collection)) || !collection ||
        FAILED(collection->GetCount(&endpoints)))
        endpoints = 0;

    for (UINT index = 0; index < endpoints && count < kMaxEndpoints; ++index) {
        wchar_t path[kTextChars];
        IMMDevice* device = nullptr;
        if (readInstancePath(collection, index, path, device) && containsUpper(path, match)) {
            wchar_t* slot = table[count];
            slot[0] = L'\0';
            LPWSTR id = nullptr;
            if (device && SUCCEEDED(device->GetId(&id)) && id)
                lstrcpynW(slot, id, kEndpointIdChars);
            CoTaskMemFree(id);
            ++count;
        }
        release(device);
    }
    release(collection);
    release(enumerator);
    return count != 0;
}

}  // namespace rk50
