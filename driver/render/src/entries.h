// The rendering driver's entry points, as the engine calls them.
#pragma once

#include "pdev.h"

DHPDEV DrvEnablePDEV(DEVMODEW* devmode, LPWSTR log_address, ULONG patterns, HSURF* pattern_surfaces,
                     ULONG caps_size, ULONG* caps, ULONG info_size, DEVINFO* info, HDEV hdev,
                     LPWSTR device_name, HANDLE printer);
BOOL DrvResetPDEV(DHPDEV old_pdev, DHPDEV new_pdev);
void DrvCompletePDEV(DHPDEV pdev, HDEV hdev);
void DrvDisablePDEV(DHPDEV pdev);
HSURF DrvEnableSurface(DHPDEV pdev);
void DrvDisableSurface(DHPDEV pdev);
BOOL DrvStartDoc(SURFOBJ* surface, LPWSTR doc_name, DWORD job_id);
BOOL DrvStartPage(SURFOBJ* surface);
BOOL DrvSendPage(SURFOBJ* surface);
BOOL DrvEndDoc(SURFOBJ* surface, FLONG flags);
ULONG DrvEscape(SURFOBJ* surface, ULONG escape, ULONG input_size, PVOID input, ULONG output_size, PVOID output);
BOOL DrvStartBanding(SURFOBJ* surface, POINTL* origin);
BOOL DrvNextBand(SURFOBJ* surface, POINTL* origin);
ULONG DrvGetGlyphMode(DHPDEV pdev, FONTOBJ* font);
BOOL DrvTextOut(SURFOBJ* surface, STROBJ* string, FONTOBJ* font, CLIPOBJ* clip, RECTL* extra, RECTL* opaque,
                BRUSHOBJ* foreground, BRUSHOBJ* background, POINTL* brush_origin, MIX mix);
PIFIMETRICS DrvQueryFont(DHPDEV pdev, ULONG_PTR file, ULONG face, ULONG_PTR* id);
PVOID DrvQueryFontTree(DHPDEV pdev, ULONG_PTR file, ULONG face, ULONG mode, ULONG_PTR* id);
LONG DrvQueryFontData(DHPDEV pdev, FONTOBJ* font, ULONG mode, HGLYPH glyph, GLYPHDATA* data, PVOID buffer,
                      ULONG size);
