/* An independent reader and writer of Paradox tables for the tests, built on
 * Debian's pxlib.  The engine's own code never links it: the tests run this
 * program as a subprocess.
 *
 *   pxlib_oracle dump TABLE.db [--px]
 *       Prints "fields N records R autoinc A", then one line per record, the
 *       values separated by tabs (format below).  --px reads through the
 *       primary index (TABLE.px).
 *   pxlib_oracle create TABLE.db KEYFIELDS < FIELDLIST
 *       Creates a table: the first input line lists the fields as
 *       NAME:TYPE:SIZE separated by tabs (TYPE one of A S I $ N L M + D T @ Y,
 *       SIZE the length of A/Y or the in-record leader of M); every further
 *       line is a record in the format below, given in key order.  A keyed
 *       table also gets its .px.
 *
 * Values: \N blank; text as UTF-8 with \\ \t \n \r escaped; integers in
 * decimal; floating values with 17 significant digits; logical 0/1; bytes in
 * hex.  Text in the files is Windows-1252, converted here with iconv.
 *
 * pxlib 0.6.8 workarounds: the memo file is attached through a copy with one
 * byte appended (its block scan overruns a buffer on well-formed files); a
 * blank Long/AutoInc/Date/Time comes back as -2147483648 on 64-bit systems;
 * blank Number/Money/Timestamp come back as 0.0, so those are read raw.
 */
#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <paradox.h>

static void onError(pxdoc_t *p, int type, const char *msg, void *data) {
    (void)p;
    (void)type;
    (void)data;
    if (strstr(msg, "multiple of 4kB")) return; /* expected with the padded copy */
    fprintf(stderr, "pxlib: %s\n", msg);
}

static void die(const char *what) {
    fprintf(stderr, "pxlib_oracle: %s\n", what);
    exit(2);
}

/* Converts between UTF-8 and Windows-1252; the result is malloc'ed. */
static char *convert(const char *from, const char *to, const char *in, size_t n, size_t *outLen) {
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) die("iconv_open failed");
    size_t cap = n * 4 + 1, left = cap;
    char *out = malloc(cap), *op = out;
    char *ip = (char *)in;
    size_t inLeft = n;
    if (iconv(cd, &ip, &inLeft, &op, &left) == (size_t)-1) die("text conversion failed");
    iconv_close(cd);
    *outLen = cap - left;
    out[*outLen] = 0;
    return out;
}

static void printText(const char *cp1252, size_t n) {
    size_t len;
    char *utf8 = convert("CP1252", "UTF-8", cp1252, n, &len);
    for (size_t i = 0; i < len; ++i) {
        switch (utf8[i]) {
            case '\\': fputs("\\\\", stdout); break;
            case '\t': fputs("\\t", stdout); break;
            case '\n': fputs("\\n", stdout); break;
            case '\r': fputs("\\r", stdout); break;
            default: putchar(utf8[i]);
        }
    }
    free(utf8);
}

static int fieldBytes(const pxfield_t *f) { return f->px_ftype == pxfBCD ? 17 : f->px_flen; }

static int allZero(const char *p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i]) return 0;
    return 1;
}

static void printValue(pxdoc_t *doc, const pxfield_t *f, const pxval_t *v, const char *raw) {
    switch (f->px_ftype) {
        case pxfCurrency: case pxfNumber: case pxfTimestamp: {
            double d;
            if (allZero(raw, 8) || PX_get_data_double(doc, (char *)raw, 8, &d) != 1)
                fputs("\\N", stdout);
            else
                printf("%.17g", d);
            return;
        }
        default: break;
    }
    if (v->isnull) {
        fputs("\\N", stdout);
        return;
    }
    switch (f->px_ftype) {
        case pxfAlpha: case pxfMemoBLOb: case pxfFmtMemoBLOb:
            if (v->value.str.len == 0)
                fputs("\\N", stdout);
            else
                printText(v->value.str.val, (size_t)v->value.str.len);
            break;
        case pxfShort: case pxfLong: case pxfAutoInc: case pxfDate: case pxfTime:
            if (v->value.lval == -2147483648L)
                fputs("\\N", stdout);
            else
                printf("%ld", v->value.lval);
            break;
        case pxfLogical: printf("%d", v->value.lval ? 1 : 0); break;
        case pxfBytes: case pxfBLOb: case pxfOLE: case pxfGraphic:
            for (int i = 0; i < v->value.str.len; ++i) printf("%02x", (unsigned char)v->value.str.val[i]);
            break;
        default: fputs("?", stdout);
    }
}

static int dump(const char *path, int withIndex) {
    pxdoc_t *doc = PX_new2(onError, NULL, NULL, NULL);
    if (PX_open_file(doc, path) < 0) die("cannot open the table");
    char mb[4096], pad[4200];
    snprintf(mb, sizeof mb, "%.*s.mb", (int)(strlen(path) - 3), path);
    FILE *in = fopen(mb, "rb");
    if (!in) { mb[strlen(mb) - 2] = 'M'; mb[strlen(mb) - 1] = 'B'; in = fopen(mb, "rb"); }
    if (in) {
        snprintf(pad, sizeof pad, "%s.pad", mb);
        FILE *out = fopen(pad, "wb");
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, in)) > 0) fwrite(buf, 1, n, out);
        fputc(0, out);
        fclose(out);
        fclose(in);
        if (PX_set_blob_file(doc, pad) < 0) die("cannot attach the memo file");
    }
    pxdoc_t *index = NULL;
    if (withIndex) {
        char px[4096];
        snprintf(px, sizeof px, "%.*s.px", (int)(strlen(path) - 3), path);
        index = PX_new2(onError, NULL, NULL, NULL);
        if (PX_open_file(index, px) < 0) die("cannot open the index");
        if (PX_read_primary_index(index) < 0) die("cannot read the index");
        if (PX_add_primary_index(doc, index) < 0) die("the index does not fit the table");
    }
    const int fields = PX_get_num_fields(doc), records = PX_get_num_records(doc);
    float autoinc = 0;
    PX_get_value(doc, "autoinc", &autoinc);
    printf("fields %d records %d autoinc %.0f\n", fields, records, autoinc);
    char *raw = malloc(65536);
    for (int r = 0; r < records; ++r) {
        pxval_t **vals = PX_retrieve_record(doc, r);
        if (!vals || PX_get_record(doc, r, raw) == NULL) die("cannot read a record");
        int offset = 0;
        for (int i = 0; i < fields; ++i) {
            const pxfield_t *f = PX_get_field(doc, i);
            if (i) putchar('\t');
            printValue(doc, f, vals[i], raw + offset);
            offset += fieldBytes(f);
            if (vals[i]->type == pxfAlpha || vals[i]->type == pxfMemoBLOb || vals[i]->type == pxfBytes ||
                vals[i]->type == pxfFmtMemoBLOb || vals[i]->type == pxfBLOb)
                if (vals[i]->value.str.val) doc->free(doc, vals[i]->value.str.val);
            doc->free(doc, vals[i]);
        }
        doc->free(doc, vals);
        putchar('\n');
    }
    free(raw);
    PX_close(doc);
    PX_delete(doc);
    if (index) PX_delete(index);
    if (in) remove(pad);
    return 0;
}

/* Splits `line` at tabs in place; returns the number of parts. */
static int split(char *line, char **parts, int max) {
    int n = 0;
    parts[n++] = line;
    for (char *p = line; *p && n < max; ++p)
        if (*p == '\t') {
            *p = 0;
            parts[n++] = p + 1;
        }
    return n;
}

static char *unescape(const char *s, size_t *len) {
    char *out = malloc(strlen(s) + 1), *o = out;
    for (; *s; ++s) {
        if (*s == '\\' && s[1]) {
            ++s;
            *o++ = *s == 't' ? '\t' : *s == 'n' ? '\n' : *s == 'r' ? '\r' : *s;
        } else {
            *o++ = *s;
        }
    }
    *len = (size_t)(o - out);
    return out;
}

static char typeCode(char letter) {
    switch (letter) {
        case 'A': return pxfAlpha; case 'S': return pxfShort; case 'I': return pxfLong;
        case '$': return pxfCurrency; case 'N': return pxfNumber; case 'L': return pxfLogical;
        case 'M': return pxfMemoBLOb; case '+': return pxfAutoInc; case 'D': return pxfDate;
        case 'T': return pxfTime; case '@': return pxfTimestamp; case 'Y': return pxfBytes;
        default: die("unknown field type"); return 0;
    }
}

static int create(const char *path, int keys) {
    static char line[1 << 24];
    char *parts[256];
    if (!fgets(line, sizeof line, stdin)) die("no field list");
    line[strcspn(line, "\n")] = 0;
    const int n = split(line, parts, 256);
    pxdoc_t *doc = PX_new2(onError, NULL, NULL, NULL);
    pxfield_t *fields = doc->malloc(doc, (size_t)n * sizeof(pxfield_t), "fields");
    int hasMemo = 0;
    for (int i = 0; i < n; ++i) {
        char name[64], type;
        int size = 0;
        if (sscanf(parts[i], "%63[^:]:%c:%d", name, &type, &size) < 2) die("bad field description");
        fields[i].px_fname = PX_strdup(doc, name);
        fields[i].px_ftype = typeCode(type);
        fields[i].px_fdc = 0;
        switch (type) {
            case 'A': case 'Y': fields[i].px_flen = size; break;
            case 'M': fields[i].px_flen = size + 10; hasMemo = 1; break;
            case 'S': fields[i].px_flen = 2; break;
            case 'L': fields[i].px_flen = 1; break;
            case '$': case 'N': case '@': fields[i].px_flen = 8; break;
            default: fields[i].px_flen = 4;
        }
    }
    if (PX_create_file(doc, fields, n, path, keys ? pxfFileTypIndexDB : pxfFileTypNonIndexDB) < 0)
        die("cannot create the table");
    if (keys) PX_set_value(doc, "numprimkeys", (float)keys);
    char mb[4096];
    snprintf(mb, sizeof mb, "%.*s.mb", (int)(strlen(path) - 3), path);
    if (hasMemo && PX_set_blob_file(doc, mb) < 0) die("cannot create the memo file");
    pxval_t **vals = doc->malloc(doc, (size_t)n * sizeof(pxval_t *), "values");
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\n")] = 0;
        if (split(line, parts, 256) != n) die("bad record line");
        for (int i = 0; i < n; ++i) {
            MAKE_PXVAL(doc, vals[i]);
            vals[i]->type = fields[i].px_ftype;
            if (strcmp(parts[i], "\\N") == 0) {
                vals[i]->isnull = 1;
                continue;
            }
            switch (fields[i].px_ftype) {
                case pxfAlpha: case pxfMemoBLOb: {
                    size_t raw, len;
                    char *text = unescape(parts[i], &raw);
                    char *cp = convert("UTF-8", "CP1252", text, raw, &len);
                    free(text);
                    vals[i]->value.str.val = cp;
                    vals[i]->value.str.len = (int)len;
                    break;
                }
                case pxfCurrency: case pxfNumber: case pxfTimestamp:
                    vals[i]->value.dval = strtod(parts[i], NULL);
                    break;
                default:
                    vals[i]->value.lval = strtol(parts[i], NULL, 10);
            }
        }
        if (PX_insert_record(doc, vals) < 0) die("cannot insert a record");
        for (int i = 0; i < n; ++i) {
            if ((fields[i].px_ftype == pxfAlpha || fields[i].px_ftype == pxfMemoBLOb) && !vals[i]->isnull)
                free(vals[i]->value.str.val);
            doc->free(doc, vals[i]);
        }
    }
    doc->free(doc, vals);
    if (keys) {
        char px[4096];
        snprintf(px, sizeof px, "%.*s.px", (int)(strlen(path) - 3), path);
        pxdoc_t *index = PX_new2(onError, NULL, NULL, NULL);
        pxfield_t *keyFields = index->malloc(index, (size_t)keys * sizeof(pxfield_t), "keys");
        for (int i = 0; i < keys; ++i) {
            keyFields[i] = fields[i];
            keyFields[i].px_fname = PX_strdup(index, fields[i].px_fname);
        }
        if (PX_create_file(index, keyFields, keys, px, pxfFileTypPrimIndex) < 0) die("cannot create the index");
        if (PX_write_primary_index(doc, index) < 0) die("cannot write the index");
        PX_close(index);
        PX_delete(index);
    }
    PX_close(doc);
    PX_delete(doc);
    return 0;
}

int main(int argc, char **argv) {
    if (argc >= 3 && strcmp(argv[1], "dump") == 0)
        return dump(argv[2], argc >= 4 && strcmp(argv[3], "--px") == 0);
    if (argc == 4 && strcmp(argv[1], "create") == 0) return create(argv[2], atoi(argv[3]));
    fprintf(stderr, "usage: pxlib_oracle dump TABLE.db [--px] | create TABLE.db KEYFIELDS < FIELDLIST\n");
    return 2;
}
