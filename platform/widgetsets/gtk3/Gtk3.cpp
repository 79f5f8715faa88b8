// The gtk3 widgetset: each window is a GtkWindow holding a GtkLayout that
// places the controls at their pixel bounds (a layout, unlike a GtkFixed,
// keeps exactly the client size it is given, whatever its children ask for). Labels, static texts,
// buttons and edits (GtkEntry) are GTK's own widgets; a list box is a GtkDrawingArea in a
// GtkScrolledWindow whose rows are drawn through TCanvas on the widget's
// cairo context; images and bevels are drawn by the shared painter.
//
// Keys are taken at the window and handled by the shared rules, so that a
// real window and a headless one answer the same keys the same way; a
// focused edit gets all but the dialog's keys, and its text comes back to
// the model from the entry's "changed" signal. GTK is initialised only when
// this widgetset is created.
#include <gtk/gtk.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "platform/Captions.h"
#include "platform/TextConv.h"
#include "platform/widgetsets/WidgetSetBase.h"

namespace WidgetSets {

namespace {

class TGtk3WidgetSet;
TGtk3WidgetSet* Instance = nullptr;

const char* const Css =
    ".typecask-button { min-height: 0; min-width: 0; padding: 0 2px; }\n"
    ".typecask-static label { margin: 0; padding: 0 1px; }\n"
    ".typecask-list { border-width: 1px; }\n"
    ".typecask-edit { min-height: 0; padding: 0 2px; }\n";

struct TNativeWindow {
    GtkWidget* Window = nullptr;
    GtkWidget* Fixed = nullptr;
    GMainLoop* Loop = nullptr;
};

struct TNativeControl {
    GtkWidget* Outer = nullptr;  // placed on the window's GtkLayout
    GtkWidget* Inner = nullptr;  // label, drawing area or button
    GtkAdjustment* Scroll = nullptr;
    bool Syncing = false;  // ignore the adjustment's or entry's own signal while we set it
    bool Mapped = false;   // before the list is on screen GTK's scroll values mean nothing
};

gpointer Tag(TWidgetHandle H) { return GUINT_TO_POINTER(H); }
TWidgetHandle Untag(gpointer P) { return GPOINTER_TO_UINT(P); }

PangoAttrList* FontAttributes(const TFontData& Font) {
    PangoFontDescription* Desc = pango_font_description_new();
    pango_font_description_set_family(Desc, ResolveFontFace(Font).Family.c_str());
    pango_font_description_set_weight(Desc, Font.Style.Contains(fsBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(Desc, Font.Style.Contains(fsItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    // Cell heights are what the canvas measures; GTK is given the em.
    int Em = Font.Height < 0 ? -Font.Height : Font.Height == 0 ? DefaultFontPixelHeight : Font.Height * 3 / 4;
    pango_font_description_set_absolute_size(Desc, Em * PANGO_SCALE);
    PangoAttrList* Attrs = pango_attr_list_new();
    pango_attr_list_insert(Attrs, pango_attr_font_desc_new(Desc));
    if (Font.Style.Contains(fsUnderline)) pango_attr_list_insert(Attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (Font.Style.Contains(fsStrikeOut)) pango_attr_list_insert(Attrs, pango_attr_strikethrough_new(TRUE));
    TColor C = ColorToRGB(Font.Color);
    pango_attr_list_insert(Attrs, pango_attr_foreground_new(static_cast<guint16>(GetRValue(C) * 257),
                                                            static_cast<guint16>(GetGValue(C) * 257),
                                                            static_cast<guint16>(GetBValue(C) * 257)));
    pango_font_description_free(Desc);
    return Attrs;
}

void ApplyFont(GtkWidget* Label, const TFontData& Font) {
    PangoAttrList* Attrs = FontAttributes(Font);
    gtk_label_set_attributes(GTK_LABEL(Label), Attrs);
    pango_attr_list_unref(Attrs);
}

std::optional<TKey> KeyOf(const GdkEventKey* Event) {
    bool Shift = (Event->state & GDK_SHIFT_MASK) != 0;
    switch (Event->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter: return TKey::Enter;
        case GDK_KEY_Escape: return TKey::Escape;
        case GDK_KEY_Tab: return Shift ? TKey::ShiftTab : TKey::Tab;
        case GDK_KEY_ISO_Left_Tab: return TKey::ShiftTab;
        case GDK_KEY_space: return TKey::Space;
        case GDK_KEY_Up:
        case GDK_KEY_KP_Up: return TKey::Up;
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down: return TKey::Down;
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home: return TKey::Home;
        case GDK_KEY_End:
        case GDK_KEY_KP_End: return TKey::End;
        case GDK_KEY_Page_Up:
        case GDK_KEY_KP_Page_Up: return TKey::PageUp;
        case GDK_KEY_Page_Down:
        case GDK_KEY_KP_Page_Down: return TKey::PageDown;
        case GDK_KEY_BackSpace: return TKey::Backspace;
        default: return std::nullopt;
    }
}

class TGtk3WidgetSet : public TWidgetSetBase {
public:
    TGtk3WidgetSet() {
        Instance = this;
        FCss = gtk_css_provider_new();
        gtk_css_provider_load_from_data(FCss, Css, -1, nullptr);
        if (GdkScreen* Screen = gdk_screen_get_default())
            gtk_style_context_add_provider_for_screen(Screen, GTK_STYLE_PROVIDER(FCss),
                                                      GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }

    ~TGtk3WidgetSet() override {
        std::vector<TWidgetHandle> Windows;
        for (auto& [H, W] : FWindows) Windows.push_back(H);
        for (TWidgetHandle H : Windows) Destroy(H);
        if (GdkScreen* Screen = gdk_screen_get_default())
            gtk_style_context_remove_provider_for_screen(Screen, GTK_STYLE_PROVIDER(FCss));
        g_object_unref(FCss);
        if (Instance == this) Instance = nullptr;
    }

    AnsiString GetName() const override { return "gtk3"; }

    TModalResult ShowModal(TWidgetHandle Handle) override {
        TWindowRecord& W = Window(Handle);
        if (W.Showing) throw EWidgetSetError("The window is already shown modally");
        GtkWidget* Native = FNativeWindows.at(Handle).Window;
        W.Showing = true;
        W.ModalResult = mrNone;
        gtk_window_set_modal(GTK_WINDOW(Native), TRUE);
        gtk_widget_show_all(Native);
        if (W.Focus == NoWidget) FocusNext(W, false);
        else NativeFocus(Control(W.Focus));
        gtk_window_present(GTK_WINDOW(Native));
        // Wait for the first allocation, then give the lists their scroll
        // positions (a preselected row may lie below the visible part).
        for (gint64 Until = g_get_monotonic_time() + 2 * G_USEC_PER_SEC;
             IsWindow(Handle) && !gtk_widget_get_mapped(Native) && g_get_monotonic_time() < Until;) {
            if (gtk_events_pending()) gtk_main_iteration_do(FALSE);
            else g_usleep(1000);
        }
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        if (IsWindow(Handle)) {
            for (TWidgetHandle C : Window(Handle).Controls) {
                auto It = FNativeControls.find(C);
                if (It == FNativeControls.end() || !It->second.Scroll) continue;
                It->second.Mapped = true;
                NativeScrolled(Control(C));
            }
        }
        // The loop is held here: a handler may destroy the window (and its
        // record) while it runs.
        GMainLoop* Loop = g_main_loop_new(nullptr, FALSE);
        if (auto It = FNativeWindows.find(Handle); It != FNativeWindows.end()) {
            It->second.Loop = Loop;
            if (Window(Handle).ModalResult == mrNone && !FError) g_main_loop_run(Loop);
        }
        g_main_loop_unref(Loop);
        TModalResult Result = mrCancel;
        if (auto It = FNativeWindows.find(Handle); It != FNativeWindows.end()) {
            It->second.Loop = nullptr;
            gtk_widget_hide(It->second.Window);
            TWindowRecord& Done = Window(Handle);
            Done.Showing = false;
            Result = Done.ModalResult;
        }
        // Let GTK finish unmapping before the caller goes on.
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        if (FError) std::rethrow_exception(std::exchange(FError, nullptr));
        return Result;
    }

    // A window on screen is captured as the server shows it; a hidden one is
    // drawn by the shared painter.
    void SaveScreenshot(TWidgetHandle Handle, const AnsiString& FileName) override {
        const TWindowRecord& W = Window(Handle);
        GtkWidget* Native = FNativeWindows.at(Handle).Window;
        GdkWindow* Gdk = gtk_widget_get_window(Native);
        if (!W.Showing || !Gdk || !gtk_widget_get_mapped(Native)) return TWidgetSetBase::SaveScreenshot(Handle, FileName);
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        GdkPixbuf* Pixbuf = gdk_pixbuf_get_from_window(Gdk, 0, 0, W.Props.ClientWidth, W.Props.ClientHeight);
        if (!Pixbuf) return TWidgetSetBase::SaveScreenshot(Handle, FileName);
        GError* Error = nullptr;
        gboolean Saved = gdk_pixbuf_save(Pixbuf, FileName.c_str(), "png", &Error, nullptr);
        g_object_unref(Pixbuf);
        if (!Saved) {
            AnsiString Reason = Error ? Error->message : "unknown error";
            if (Error) g_error_free(Error);
            throw EInvalidGraphic(Format("Cannot write the PNG file %s: %s", {FileName, Reason}));
        }
    }

    // Runs a callback of the control classes from a GTK signal: an exception
    // cannot pass through GTK's C frames, so it ends the modal loops and is
    // raised again by ShowModal.
    template <class F>
    void Guarded(F&& Fn) {
        try {
            Fn();
        } catch (...) {
            if (!FError) FError = std::current_exception();
            for (auto& [H, N] : FNativeWindows)
                if (N.Loop) g_main_loop_quit(N.Loop);
        }
    }

    // ---- signal handlers

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer Data) {
        Instance->Guarded([&] { Instance->RequestClose(Untag(Data)); });
        return TRUE;  // the window stays until it is destroyed
    }

    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* Event, gpointer Data) {
        auto Key = KeyOf(Event);
        // A focused edit types, deletes and moves its caret itself.
        if (auto It = Instance->FWindows.find(Untag(Data));
            It != Instance->FWindows.end() && Instance->IsControl(It->second.Focus) &&
            IsEdit(Instance->Control(It->second.Focus)) && !(Key && IsDialogKey(*Key)))
            return FALSE;
        if (!Key) {
            // A character typed (without a command modifier) finds a row.
            const gunichar Char = gdk_keyval_to_unicode(Event->keyval);
            if (!Char || !g_unichar_isprint(Char) || (Event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)))
                return FALSE;
            bool Found = false;
            Instance->Guarded([&] {
                Found = Instance->TypeText(Untag(Data), CodePointsToUtf8(std::u32string(1, static_cast<char32_t>(Char))));
            });
            return Found;
        }
        bool Handled = false;
        Instance->Guarded([&] { Handled = Instance->PressKey(Untag(Data), *Key); });
        return Handled || *Key == TKey::Enter || *Key == TKey::Escape || *Key == TKey::Tab || *Key == TKey::ShiftTab;
    }

    static gboolean OnLayoutDraw(GtkWidget* Widget, cairo_t* Cr, gpointer Data) {
        auto It = Instance->FWindows.find(Untag(Data));
        if (It == Instance->FWindows.end()) return FALSE;
        TColor C = ColorToRGB(It->second.Props.Color);
        cairo_set_source_rgb(Cr, GetRValue(C) / 255.0, GetGValue(C) / 255.0, GetBValue(C) / 255.0);
        cairo_rectangle(Cr, 0, 0, gtk_widget_get_allocated_width(Widget), gtk_widget_get_allocated_height(Widget));
        cairo_fill(Cr);
        return FALSE;  // the children are drawn next
    }

    static gboolean OnPaint(GtkWidget*, cairo_t* Cr, gpointer Data) {
        TWidgetHandle H = Untag(Data);
        if (!Instance->IsControl(H)) return FALSE;
        Instance->Guarded([&] { Instance->PaintControl(Instance->Control(H), Cr); });
        return TRUE;
    }

    static gboolean OnListDraw(GtkWidget* Widget, cairo_t* Cr, gpointer Data) {
        TWidgetHandle H = Untag(Data);
        if (!Instance->IsControl(H)) return FALSE;
        TControlRecord& C = Instance->Control(H);
        TColor Back = ColorToRGB(C.Props.Color);
        cairo_set_source_rgb(Cr, GetRValue(Back) / 255.0, GetGValue(Back) / 255.0, GetBValue(Back) / 255.0);
        cairo_paint(Cr);
        // The rows span what GTK leaves beside its scroll bar.
        C.NativeClientWidth = gtk_widget_get_allocated_width(Widget);
        // Rows come in the list's client coordinates, as in every widgetset.
        cairo_translate(Cr, 0, C.ScrollY);
        Instance->Guarded([&] { Instance->PaintListRows(C, Cr); });
        return TRUE;
    }

    static gboolean OnListButton(GtkWidget* Widget, GdkEventButton* Event, gpointer Data) {
        TWidgetHandle H = Untag(Data);
        if (Event->button != 1 || !Instance->IsControl(H)) return FALSE;
        gtk_widget_grab_focus(Widget);
        int Y = static_cast<int>(Event->y) - Instance->Control(H).ScrollY;
        int Row = Instance->RowAt(H, Y);
        Instance->Guarded([&] {
            if (Event->type == GDK_BUTTON_PRESS) {
                if (Row >= 0) Instance->ClickRow(H, Row);
            } else if (Event->type == GDK_2BUTTON_PRESS && Row >= 0 && Row == Instance->Control(H).Props.ItemIndex) {
                if (auto OnDblClick = Instance->Control(H).Events.OnDblClick) OnDblClick(Row);
            }
        });
        return TRUE;
    }

    static void OnScrolled(GtkAdjustment* Adjustment, gpointer Data) {
        TWidgetHandle H = Untag(Data);
        auto It = Instance->FNativeControls.find(H);
        if (It == Instance->FNativeControls.end() || It->second.Syncing || !It->second.Mapped) return;
        Instance->Control(H).ScrollY = static_cast<int>(gtk_adjustment_get_value(Adjustment));
    }

    static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer Data) {
        TWidgetHandle H = Untag(Data);
        if (!Instance->IsControl(H)) return FALSE;
        TControlRecord& C = Instance->Control(H);
        TWindowRecord& W = Instance->Window(C.Window);
        if (W.Focus != H) {
            TWidgetHandle Old = W.Focus;
            W.Focus = H;
            if (Instance->IsControl(Old)) Instance->NativeInvalidate(Instance->Control(Old));
        }
        Instance->NativeInvalidate(C);
        return FALSE;
    }

    static void OnEntryChanged(GtkEditable* Entry, gpointer Data) {
        TWidgetHandle H = Untag(Data);
        auto It = Instance->FNativeControls.find(H);
        if (It == Instance->FNativeControls.end() || It->second.Syncing || !Instance->IsControl(H)) return;
        const AnsiString Text = gtk_entry_get_text(GTK_ENTRY(Entry));
        Instance->Guarded([&] { Instance->UserEdited(Instance->Control(H), Text); });
    }

    static void OnClicked(GtkButton*, gpointer Data) {
        TWidgetHandle H = Untag(Data);
        if (!Instance->IsControl(H)) return;
        Instance->Guarded([&] { Instance->ClickButton(H); });
    }

protected:
    void NativeCreateWindow(TWindowRecord& W) override {
        TNativeWindow N;
        N.Window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        N.Fixed = gtk_layout_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(N.Window), N.Fixed);
        gtk_window_set_resizable(GTK_WINDOW(N.Window), FALSE);
        gtk_window_set_type_hint(GTK_WINDOW(N.Window), GDK_WINDOW_TYPE_HINT_DIALOG);
        g_signal_connect(N.Window, "delete-event", G_CALLBACK(OnDelete), Tag(W.Handle));
        g_signal_connect(N.Window, "key-press-event", G_CALLBACK(OnKeyPress), Tag(W.Handle));
        g_signal_connect(N.Fixed, "draw", G_CALLBACK(OnLayoutDraw), Tag(W.Handle));
        FNativeWindows[W.Handle] = N;
        NativeUpdateWindow(W);
    }

    void NativeUpdateWindow(TWindowRecord& W) override {
        TNativeWindow& N = FNativeWindows.at(W.Handle);
        gtk_window_set_title(GTK_WINDOW(N.Window), W.Props.Caption.c_str());
        gtk_widget_set_size_request(N.Fixed, W.Props.ClientWidth, W.Props.ClientHeight);
        gtk_layout_set_size(GTK_LAYOUT(N.Fixed), W.Props.ClientWidth, W.Props.ClientHeight);
        if (W.Props.Position == TWindowPosition::ScreenCenter) {
            gtk_window_set_position(GTK_WINDOW(N.Window), GTK_WIN_POS_CENTER);
        } else {
            gtk_window_set_position(GTK_WINDOW(N.Window), GTK_WIN_POS_NONE);
            gtk_window_move(GTK_WINDOW(N.Window), W.Props.Left, W.Props.Top);
        }
        gtk_widget_queue_draw(N.Window);
    }

    void NativeDestroyWindow(TWindowRecord& W) override {
        auto It = FNativeWindows.find(W.Handle);
        if (It == FNativeWindows.end()) return;
        if (It->second.Loop) g_main_loop_quit(It->second.Loop);
        gtk_widget_destroy(It->second.Window);
        FNativeWindows.erase(It);
    }

    void NativeCreateControl(TWindowRecord& W, TControlRecord& C) override {
        TNativeControl N;
        TWidgetHandle H = C.Handle;
        switch (C.Props.Kind) {
            case TWidgetKind::Label:
                N.Outer = N.Inner = gtk_label_new(nullptr);
                gtk_label_set_xalign(GTK_LABEL(N.Inner), 0);
                gtk_label_set_yalign(GTK_LABEL(N.Inner), 0);
                break;
            case TWidgetKind::StaticText:
                N.Outer = gtk_frame_new(nullptr);
                N.Inner = gtk_label_new(nullptr);
                gtk_label_set_xalign(GTK_LABEL(N.Inner), 0);
                gtk_label_set_yalign(GTK_LABEL(N.Inner), 0);
                gtk_label_set_ellipsize(GTK_LABEL(N.Inner), PANGO_ELLIPSIZE_END);
                gtk_container_add(GTK_CONTAINER(N.Outer), N.Inner);
                gtk_style_context_add_class(gtk_widget_get_style_context(N.Outer), "typecask-static");
                break;
            case TWidgetKind::Button:
                N.Outer = N.Inner = gtk_button_new();
                gtk_style_context_add_class(gtk_widget_get_style_context(N.Inner), "typecask-button");
                g_signal_connect(N.Inner, "clicked", G_CALLBACK(OnClicked), Tag(H));
                break;
            case TWidgetKind::ListBox: {
                N.Outer = gtk_scrolled_window_new(nullptr, nullptr);
                gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(N.Outer), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
                gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(N.Outer), GTK_SHADOW_IN);
                // A scroll bar that is there whenever the rows overflow, not
                // only while the pointer is over the list.
                gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(N.Outer), FALSE);
                gtk_style_context_add_class(gtk_widget_get_style_context(N.Outer), "typecask-list");
                N.Inner = gtk_drawing_area_new();
                gtk_widget_set_can_focus(N.Inner, TRUE);
                gtk_widget_add_events(N.Inner, GDK_BUTTON_PRESS_MASK | GDK_FOCUS_CHANGE_MASK);
                g_signal_connect(N.Inner, "draw", G_CALLBACK(OnListDraw), Tag(H));
                g_signal_connect(N.Inner, "button-press-event", G_CALLBACK(OnListButton), Tag(H));
                gtk_container_add(GTK_CONTAINER(N.Outer), N.Inner);
                N.Scroll = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(N.Outer));
                g_signal_connect(N.Scroll, "value-changed", G_CALLBACK(OnScrolled), Tag(H));
                break;
            }
            case TWidgetKind::Edit:
                N.Outer = N.Inner = gtk_entry_new();
                // As narrow and low as its bounds, not GTK's own minimum.
                gtk_entry_set_width_chars(GTK_ENTRY(N.Inner), 1);
                gtk_style_context_add_class(gtk_widget_get_style_context(N.Inner), "typecask-edit");
                g_signal_connect(N.Inner, "changed", G_CALLBACK(OnEntryChanged), Tag(H));
                break;
            case TWidgetKind::Image:
            case TWidgetKind::Bevel:
                N.Outer = N.Inner = gtk_drawing_area_new();
                g_signal_connect(N.Inner, "draw", G_CALLBACK(OnPaint), Tag(H));
                break;
        }
        g_signal_connect(N.Inner, "focus-in-event", G_CALLBACK(OnFocusIn), Tag(H));
        TNativeWindow& NW = FNativeWindows.at(W.Handle);
        gtk_layout_put(GTK_LAYOUT(NW.Fixed), N.Outer, C.Props.Bounds.Left, C.Props.Bounds.Top);
        FNativeControls[H] = N;
        NativeUpdateControl(C);
        if (W.Showing && C.Props.Visible) gtk_widget_show_all(N.Outer);
    }

    void NativeUpdateControl(TControlRecord& C) override {
        TNativeControl& N = FNativeControls.at(C.Handle);
        const TControlProps& P = C.Props;
        gtk_layout_move(GTK_LAYOUT(gtk_widget_get_parent(N.Outer)), N.Outer, P.Bounds.Left, P.Bounds.Top);
        gtk_widget_set_size_request(N.Outer, P.Bounds.Width(), P.Bounds.Height());
        gtk_widget_set_sensitive(N.Outer, P.Enabled);
        gtk_widget_set_no_show_all(N.Outer, !P.Visible);
        gtk_widget_set_visible(N.Outer, P.Visible && IsShowing(C.Window));
        switch (P.Kind) {
            case TWidgetKind::Label:
            case TWidgetKind::StaticText: {
                // Wrapped here, at the canvas's text widths, so that the lines
                // break where the headless painter breaks them; GTK's own
                // wrapping would ask for a wider label than the bounds.
                AnsiString Text;
                for (const AnsiString& Line : WrapCaption(P.Font, CaptionText(P.Caption), P.Bounds.Width(), P.WordWrap))
                    Text += Line + "\n";
                if (!Text.empty()) Text.pop_back();
                gtk_label_set_text(GTK_LABEL(N.Inner), Text.c_str());
                gtk_label_set_ellipsize(GTK_LABEL(N.Inner), PANGO_ELLIPSIZE_END);
                ApplyFont(N.Inner, P.Font);
                break;
            }
            case TWidgetKind::Button: {
                gtk_button_set_label(GTK_BUTTON(N.Inner), CaptionText(P.Caption).c_str());
                if (GtkWidget* Label = gtk_bin_get_child(GTK_BIN(N.Inner)); Label && GTK_IS_LABEL(Label))
                    ApplyFont(Label, P.Font);
                gtk_widget_set_can_focus(N.Inner, P.TabOrder >= 0);
                if (P.Glyph && !P.Glyph->Empty()) {
                    GdkPixbuf* Pixbuf = gdk_pixbuf_get_from_surface(static_cast<cairo_surface_t*>(P.Glyph->Surface()), 0,
                                                                    0, P.Glyph->GetWidth(), P.Glyph->GetHeight());
                    GtkWidget* Image = gtk_image_new_from_pixbuf(Pixbuf);
                    g_object_unref(Pixbuf);
                    gtk_button_set_image(GTK_BUTTON(N.Inner), Image);
                    gtk_button_set_always_show_image(GTK_BUTTON(N.Inner), TRUE);
                    // The label child moved into a box: give it the font too.
                    ApplyButtonFont(N.Inner, P.Font);
                } else {
                    gtk_button_set_image(GTK_BUTTON(N.Inner), nullptr);
                }
                break;
            }
            case TWidgetKind::Edit: {
                // Set only when it differs, which keeps the caret where the
                // user left it; a new text has it at its end, as in every
                // widgetset.
                if (P.Caption != gtk_entry_get_text(GTK_ENTRY(N.Inner))) {
                    N.Syncing = true;
                    gtk_entry_set_text(GTK_ENTRY(N.Inner), P.Caption.c_str());
                    N.Syncing = false;
                    gtk_editable_set_position(GTK_EDITABLE(N.Inner), -1);
                }
                PangoAttrList* Attrs = FontAttributes(P.Font);
                gtk_entry_set_attributes(GTK_ENTRY(N.Inner), Attrs);
                pango_attr_list_unref(Attrs);
                gtk_widget_set_can_focus(N.Inner, P.TabOrder >= 0);
                break;
            }
            case TWidgetKind::ListBox: {
                // The scroll bar follows the shared rule: there while the rows
                // overflow the list.
                gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(N.Outer), GTK_POLICY_NEVER,
                                               ListOverflows(C) ? GTK_POLICY_ALWAYS : GTK_POLICY_NEVER);
                gtk_widget_set_size_request(N.Inner, -1, ContentHeight(C));
                NativeScrolled(C);
                break;
            }
            default: break;
        }
        gtk_widget_queue_draw(N.Outer);
    }

    static void ApplyButtonFont(GtkWidget* Widget, const TFontData& Font) {
        if (GTK_IS_LABEL(Widget)) {
            ApplyFont(Widget, Font);
        } else if (GTK_IS_CONTAINER(Widget)) {
            GList* Children = gtk_container_get_children(GTK_CONTAINER(Widget));
            for (GList* L = Children; L; L = L->next) ApplyButtonFont(GTK_WIDGET(L->data), Font);
            g_list_free(Children);
        }
    }

    void NativeDestroyControl(TControlRecord& C) override {
        auto It = FNativeControls.find(C.Handle);
        if (It == FNativeControls.end()) return;
        if (It->second.Scroll) g_signal_handlers_disconnect_by_data(It->second.Scroll, Tag(C.Handle));
        gtk_widget_destroy(It->second.Outer);
        FNativeControls.erase(It);
    }

    void NativeInvalidate(TControlRecord& C) override {
        if (auto It = FNativeControls.find(C.Handle); It != FNativeControls.end())
            gtk_widget_queue_draw(It->second.Inner);
    }

    void NativeFocus(TControlRecord& C) override {
        if (auto It = FNativeControls.find(C.Handle); It != FNativeControls.end()) {
            gtk_widget_set_can_focus(It->second.Inner, TRUE);
            gtk_widget_grab_focus(It->second.Inner);
            // An entry selects its text when it takes the focus: typing
            // would replace it. The caret goes to the end instead.
            if (IsEdit(C)) gtk_editable_set_position(GTK_EDITABLE(It->second.Inner), -1);
        }
    }

    void NativeScrolled(TControlRecord& C) override {
        auto It = FNativeControls.find(C.Handle);
        if (It == FNativeControls.end() || !It->second.Scroll || !It->second.Mapped) return;
        It->second.Syncing = true;
        double Upper = std::max<double>(ContentHeight(C), gtk_adjustment_get_upper(It->second.Scroll));
        gtk_adjustment_set_upper(It->second.Scroll, Upper);
        gtk_adjustment_set_value(It->second.Scroll, C.ScrollY);
        It->second.Syncing = false;
        C.ScrollY = static_cast<int>(gtk_adjustment_get_value(It->second.Scroll));
        gtk_widget_queue_draw(It->second.Inner);
    }

    void NativeEndModal(TWindowRecord& W) override {
        auto It = FNativeWindows.find(W.Handle);
        if (It != FNativeWindows.end() && It->second.Loop) g_main_loop_quit(It->second.Loop);
    }

private:
    GtkCssProvider* FCss = nullptr;
    std::map<TWidgetHandle, TNativeWindow> FNativeWindows;
    std::map<TWidgetHandle, TNativeControl> FNativeControls;
    std::exception_ptr FError;
};

}  // namespace

std::unique_ptr<TWidgetSet> CreateGtk3WidgetSet() {
    // GTK can be initialised once per process; a failed attempt stays failed.
    static const bool Available = gtk_init_check(nullptr, nullptr);
    if (!Available) return nullptr;
    return std::make_unique<TGtk3WidgetSet>();
}

}  // namespace WidgetSets
