/* Drags files onto a window of an X display the way a file manager does: an
 * XDND source window owns XdndSelection, sends XdndEnter, XdndPosition and
 * XdndDrop to the XdndAware window under the given point, answers the
 * target's requests for text/uri-list (file:// URIs of the Unix paths), and
 * waits for XdndStatus and XdndFinished. Everything is bounded by a deadline.
 *
 *   xdnd_drag [--timeout SECONDS] [--action copy|move|link|ask] [--window XID]
 *             [--no-drop] X Y FILE...
 *
 * X, Y: root (screen) coordinates of the drop point. --window: send to that
 * window instead of the one found under the point. --no-drop: enter, move and
 * leave again (a drag that is carried away). The pointer is warped to the
 * point, as a real drag would leave it.
 *
 * Prints one line per step on stdout (target, status, request, finished).
 * Exit codes: 0 the target finished the drop (or --no-drop completed);
 * 1 timeout; 2 bad usage or no display; 3 no XdndAware window under the
 * point; 4 the target refused the drop; 5 the target reported failure.
 */
#define _DEFAULT_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#define XDND_VERSION 5

static Display *dpy;
static Atom a_aware, a_enter, a_position, a_status, a_drop, a_finished, a_leave, a_selection;
static Atom a_uri_list, a_text_plain, a_targets, a_action;
static char *uri_list;
static size_t uri_len;

static double now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* file:// URI of an absolute path, percent-encoding everything but the
 * unreserved characters and '/'. */
static void append_uri(const char *path) {
  static const char hex[] = "0123456789ABCDEF";
  static char abs[2 * PATH_MAX + 2];
  if (path[0] != '/') {
    if (!realpath(path, abs)) {
      /* not there (yet): make it absolute by hand */
      char cwd[PATH_MAX];
      if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
      snprintf(abs, sizeof abs, "%s/%s", cwd, path);
    }
    path = abs;
  }
  size_t need = uri_len + strlen("file://") + 3 * strlen(path) + 3;
  uri_list = realloc(uri_list, need);
  if (!uri_list) exit(2);
  uri_len += sprintf(uri_list + uri_len, "file://");
  for (const unsigned char *p = (const unsigned char *)path; *p; ++p) {
    if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || strchr("-._~/", *p)) {
      uri_list[uri_len++] = (char)*p;
    } else {
      uri_list[uri_len++] = '%';
      uri_list[uri_len++] = hex[*p >> 4];
      uri_list[uri_len++] = hex[*p & 15];
    }
  }
  uri_list[uri_len++] = '\r';
  uri_list[uri_len++] = '\n';
  uri_list[uri_len] = 0;
}

/* The XDND version a window announces, or 0 when it is not XdndAware. */
static int aware_version(Window w) {
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char *data = NULL;
  int version = 0;
  if (XGetWindowProperty(dpy, w, a_aware, 0, 1, False, AnyPropertyType, &type, &format, &n, &after, &data) ==
          Success &&
      data && n == 1 && format == 32)
    version = (int)*(unsigned long *)data;
  if (data) XFree(data);
  return version;
}

/* The topmost XdndAware window that contains root point (x, y), searching
 * from `w` down through mapped children, topmost first. */
static Window find_aware(Window w, int x, int y, int *version) {
  int v = aware_version(w);
  if (v > 0) {
    *version = v;
    return w;
  }
  Window root, parent, *kids = NULL;
  unsigned int count = 0;
  if (!XQueryTree(dpy, w, &root, &parent, &kids, &count)) return None;
  Window found = None;
  for (int i = (int)count - 1; i >= 0 && found == None; --i) {
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy, kids[i], &wa) || wa.map_state != IsViewable) continue;
    int rx, ry;
    Window child;
    XTranslateCoordinates(dpy, kids[i], DefaultRootWindow(dpy), 0, 0, &rx, &ry, &child);
    if (x < rx || y < ry || x >= rx + wa.width || y >= ry + wa.height) continue;
    found = find_aware(kids[i], x, y, version);
  }
  if (kids) XFree(kids);
  return found;
}

static void send_message(Window target, Atom type, long l0, long l1, long l2, long l3, long l4) {
  XEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.display = dpy;
  ev.xclient.window = target;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = l0;
  ev.xclient.data.l[1] = l1;
  ev.xclient.data.l[2] = l2;
  ev.xclient.data.l[3] = l3;
  ev.xclient.data.l[4] = l4;
  XSendEvent(dpy, target, False, NoEventMask, &ev);
  XFlush(dpy);
}

static void answer_request(XSelectionRequestEvent *rq) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = rq->display;
  reply.xselection.requestor = rq->requestor;
  reply.xselection.selection = rq->selection;
  reply.xselection.target = rq->target;
  reply.xselection.time = rq->time;
  Atom property = rq->property != None ? rq->property : rq->target;
  reply.xselection.property = None;
  char *name = XGetAtomName(dpy, rq->target);
  printf("request target=%s\n", name ? name : "?");
  if (name) XFree(name);
  if (rq->selection == a_selection) {
    if (rq->target == a_uri_list || rq->target == a_text_plain) {
      XChangeProperty(dpy, rq->requestor, property, rq->target, 8, PropModeReplace, (unsigned char *)uri_list,
                      (int)uri_len);
      reply.xselection.property = property;
    } else if (rq->target == a_targets) {
      Atom targets[] = {a_targets, a_uri_list, a_text_plain};
      XChangeProperty(dpy, rq->requestor, property, XA_ATOM, 32, PropModeReplace, (unsigned char *)targets, 3);
      reply.xselection.property = property;
    }
  }
  XSendEvent(dpy, rq->requestor, False, NoEventMask, &reply);
  XFlush(dpy);
}

/* Waits for the next event until `deadline`; 0 on timeout. */
static int next_event(XEvent *ev, double deadline) {
  while (!XPending(dpy)) {
    double left = deadline - now();
    if (left <= 0) return 0;
    int fd = ConnectionNumber(dpy);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    struct timeval tv = {(time_t)left, (suseconds_t)((left - (time_t)left) * 1e6)};
    select(fd + 1, &set, NULL, NULL, &tv);
  }
  XNextEvent(dpy, ev);
  return 1;
}

static const char *atom_name(Atom a) {
  static char buf[128];
  char *n = a ? XGetAtomName(dpy, a) : NULL;
  snprintf(buf, sizeof buf, "%s", n ? n : "None");
  if (n) XFree(n);
  return buf;
}

int main(int argc, char **argv) {
  double timeout = 10;
  const char *action = "copy";
  Window forced = None;
  int no_drop = 0;
  int i = 1;
  for (; i < argc && strncmp(argv[i], "--", 2) == 0; ++i) {
    if (!strcmp(argv[i], "--timeout") && i + 1 < argc) timeout = atof(argv[++i]);
    else if (!strcmp(argv[i], "--action") && i + 1 < argc) action = argv[++i];
    else if (!strcmp(argv[i], "--window") && i + 1 < argc) forced = (Window)strtoul(argv[++i], NULL, 0);
    else if (!strcmp(argv[i], "--no-drop")) no_drop = 1;
    else break;
  }
  if (argc - i < 3) {
    fprintf(stderr, "usage: xdnd_drag [--timeout S] [--action copy|move|link|ask] [--window XID] [--no-drop] X Y FILE...\n");
    return 2;
  }
  int x = atoi(argv[i]), y = atoi(argv[i + 1]);
  for (int f = i + 2; f < argc; ++f) append_uri(argv[f]);
  double deadline = now() + timeout;

  dpy = XOpenDisplay(NULL);
  if (!dpy) {
    fprintf(stderr, "xdnd_drag: cannot open display\n");
    return 2;
  }
  a_aware = XInternAtom(dpy, "XdndAware", False);
  a_enter = XInternAtom(dpy, "XdndEnter", False);
  a_position = XInternAtom(dpy, "XdndPosition", False);
  a_status = XInternAtom(dpy, "XdndStatus", False);
  a_drop = XInternAtom(dpy, "XdndDrop", False);
  a_finished = XInternAtom(dpy, "XdndFinished", False);
  a_leave = XInternAtom(dpy, "XdndLeave", False);
  a_selection = XInternAtom(dpy, "XdndSelection", False);
  a_uri_list = XInternAtom(dpy, "text/uri-list", False);
  a_text_plain = XInternAtom(dpy, "text/plain", False);
  a_targets = XInternAtom(dpy, "TARGETS", False);
  char action_name[64];
  snprintf(action_name, sizeof action_name, "XdndAction%c%s", action[0] & ~0x20, action + 1);
  a_action = XInternAtom(dpy, action_name, False);

  Window root = DefaultRootWindow(dpy);
  Window src = XCreateSimpleWindow(dpy, root, -10, -10, 1, 1, 0, 0, 0);
  XSelectInput(dpy, src, PropertyChangeMask);
  long aware = XDND_VERSION;
  XChangeProperty(dpy, src, a_aware, XA_ATOM, 32, PropModeReplace, (unsigned char *)&aware, 1);

  /* A real server timestamp for the selection and the messages. */
  XChangeProperty(dpy, src, XA_WM_NAME, XA_STRING, 8, PropModeAppend, (unsigned char *)"", 0);
  XEvent ev;
  Time stamp = CurrentTime;
  while (next_event(&ev, deadline))
    if (ev.type == PropertyNotify && ev.xproperty.window == src) {
      stamp = ev.xproperty.time;
      break;
    }
  XSetSelectionOwner(dpy, a_selection, src, stamp);
  if (XGetSelectionOwner(dpy, a_selection) != src) {
    fprintf(stderr, "xdnd_drag: cannot own XdndSelection\n");
    return 2;
  }

  XWarpPointer(dpy, None, root, 0, 0, 0, 0, x, y);
  int version = XDND_VERSION;
  Window target = forced;
  if (target == None) target = find_aware(root, x, y, &version);
  else version = aware_version(target);
  if (target == None || version <= 0) {
    printf("target none at %d,%d\n", x, y);
    return 3;
  }
  if (version > XDND_VERSION) version = XDND_VERSION;
  printf("target window=0x%lx version=%d action=%s\n", (unsigned long)target, version, action_name);
  fflush(stdout);

  send_message(target, a_enter, (long)src, (long)version << 24, (long)a_uri_list, (long)a_text_plain, None);
  /* A pointer in motion: a few positions on the way to the point, each
   * answered by a status before the next, as the protocol asks. */
  int positions = 3, sent = 0, statuses = 0, accepted = 0, dropped = 0, rc = 1;
  Atom answered_action = None;
  send_message(target, a_position, (long)src, 0, (long)(((x - 2) << 16) | (y - 2)), (long)stamp, (long)a_action);
  sent = 1;
  while (next_event(&ev, deadline)) {
    if (ev.type == SelectionRequest) {
      answer_request(&ev.xselectionrequest);
    } else if (ev.type == ClientMessage && ev.xclient.message_type == a_status) {
      accepted = ev.xclient.data.l[1] & 1;
      answered_action = (Atom)ev.xclient.data.l[4];
      printf("status accept=%d action=%s\n", accepted, atom_name(answered_action));
      ++statuses;
      if (sent < positions) {
        int d = positions - 1 - sent;
        send_message(target, a_position, (long)src, 0, (long)(((x - d) << 16) | (y - d)), (long)stamp,
                     (long)a_action);
        ++sent;
      } else if (no_drop) {
        send_message(target, a_leave, (long)src, 0, 0, 0, 0);
        printf("leave\n");
        rc = 0;
        break;
      } else if (!accepted) {
        send_message(target, a_leave, (long)src, 0, 0, 0, 0);
        printf("refused\n");
        rc = 4;
        break;
      } else if (!dropped) {
        send_message(target, a_drop, (long)src, 0, (long)stamp, 0, 0);
        dropped = 1;
        printf("drop\n");
      }
    } else if (ev.type == ClientMessage && ev.xclient.message_type == a_finished) {
      int ok = version < 5 ? 1 : (int)(ev.xclient.data.l[1] & 1);
      printf("finished accepted=%d action=%s\n", ok, atom_name((Atom)ev.xclient.data.l[2]));
      rc = ok ? 0 : 5;
      break;
    }
    fflush(stdout);
  }
  if (rc == 1) {
    printf("timeout after %d status message(s)%s\n", statuses, dropped ? " and the drop" : "");
    if (!dropped) send_message(target, a_leave, (long)src, 0, 0, 0, 0);
  }
  fflush(stdout);
  XDestroyWindow(dpy, src);
  XCloseDisplay(dpy);
  free(uri_list);
  return rc;
}
