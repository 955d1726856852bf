#!/usr/bin/env python3
"""Property lists as Python's plistlib makes and reads them, for PropertyListCorpusTest.

  plist_corpus.py generate DIR   writes DIR/cases/<name> and DIR/expected/<name>
  plist_corpus.py reread DIR     reads every DIR/written/<name>, writes DIR/reread/<name>

An expected file is what plistlib reads, one entry a line ("path<TAB>value", see flatten), or
one of these single lines:
  INVALID          plistlib refuses the file; our reader must refuse it too
  UNREPRESENTABLE  plistlib reads something our value type cannot hold (None, a UID, a key
                   that is no text, an integer outside -2^63 .. 2^64-1, a loop); must refuse
A line "# may-refuse" before the entries lets our reader refuse a file plistlib reads (odd
spellings we choose not to accept); a line "# xml-roundtrip" says plistlib writes the value as
XML and reads it back unchanged, so our writer must not refuse it either.
"""
import datetime
import os
import plistlib
import struct
import sys

EPOCH = datetime.datetime(2001, 1, 1)


class Unrepresentable(Exception):
    pass


def quote(raw):
    return ''.join(chr(b) if 0x21 <= b <= 0x7E and b not in b'%/' else '%%%02X' % b
                   for b in raw)


def flatten(value, path='', out=None, seen=()):
    out = [] if out is None else out
    if isinstance(value, bool):
        out.append(f'{path}\tb:{"true" if value else "false"}')
    elif isinstance(value, int):
        if not -2**63 <= value < 2**64:
            raise Unrepresentable()
        out.append(f'{path}\ti:{value}')
    elif isinstance(value, float):
        out.append(f'{path}\tr:{struct.pack(">d", value).hex()}')
    elif isinstance(value, str):
        out.append(f'{path}\ts:{quote(value.encode("utf-8"))}')
    elif isinstance(value, bytes):
        out.append(f'{path}\tx:{value.hex()}')
    elif isinstance(value, datetime.datetime):
        out.append(f'{path}\td:{(value - EPOCH) // datetime.timedelta(microseconds=1)}')
    elif isinstance(value, (list, dict)):
        if id(value) in seen or len(seen) > 512:
            raise Unrepresentable()
        seen = seen + (id(value),)
        if isinstance(value, list):
            out.append(f'{path}\ta:{len(value)}')
            for i, item in enumerate(value):
                flatten(item, f'{path}/{i}', out, seen)
        else:
            if not all(isinstance(k, str) for k in value):
                raise Unrepresentable()
            out.append(f'{path}\tk:{len(value)}')
            for key in sorted(value, key=lambda k: k.encode('utf-8')):
                flatten(value[key], f'{path}/{quote(key.encode("utf-8"))}', out, seen)
    else:
        raise Unrepresentable()  # None, UID
    return out


def expectation(data, fmt):
    """What plistlib reads from the bytes, in the expected-file form."""
    try:
        value = plistlib.loads(data, fmt=fmt)
    except Exception:
        return ['INVALID'], None
    try:
        return flatten(value), value
    except (Unrepresentable, RecursionError, UnicodeEncodeError):
        return ['UNREPRESENTABLE'], None


def xml_roundtrips(value):
    try:
        again = plistlib.loads(plistlib.dumps(value, fmt=plistlib.FMT_XML))
        return flatten(again) == flatten(value)
    except Exception:
        return False


# ---- values plistlib writes in both forms ---------------------------------------------------

def d(*fields, micro=0):
    return datetime.datetime(*fields, microsecond=micro)


VALUES = {
    'str-empty': '', 'str-plain': 'plain', 'str-markup': 'a<b & "c" ]]> \'d\'',
    'str-unicode': '\u00e9\u20ac\U0001F600\uFFFD', 'str-tab-lf': 'tab\tnew\nline',
    'str-cr': 'cr\rhere', 'str-crlf': 'crlf\r\nhere', 'str-nul': 'a\x00b', 'str-ctrl': 'x\x01y',
    'str-spaces': '  padded  ', 'str-long': 'long ' * 2000,
    'int-0': 0, 'int-1': 1, 'int-neg1': -1, 'int-255': 255, 'int-256': 256, 'int-65536': 65536,
    'int-2p31': 2**31, 'int-2p32': 2**32, 'int-max63': 2**63 - 1, 'int-min63': -2**63,
    'int-2p63': 2**63, 'int-sample': 9223372036854775852, 'int-max64': 2**64 - 1,
    'int-neg-2p32': -2**32,
    'real-0': 0.0, 'real-neg0': -0.0, 'real-tenth': 0.1, 'real-big': 1e300, 'real-neg': -2.5,
    'real-tiny': 5e-324, 'real-inf': float('inf'), 'real-neginf': float('-inf'),
    'real-nan': float('nan'), 'real-1e16': 1e16, 'real-third': 1 / 3, 'real-int': 3.0,
    'bool-true': True, 'bool-false': False,
    'date-2001': d(2001, 1, 1), 'date-1999': d(1999, 12, 31, 23, 59, 59),
    'date-1932': d(1932, 12, 13, 20, 45, 51), 'date-1933': d(1933, 1, 1),
    'date-2069': d(2069, 1, 1), 'date-2100': d(2100, 2, 28, 12, 0, 1), 'date-1900': d(1900, 3, 1),
    'date-0001': d(1, 1, 1), 'date-9999': d(9999, 12, 31, 23, 59, 59),
    'date-half': d(2020, 6, 1, 12, 0, 0, micro=500000), 'date-leap': d(2024, 2, 29, 1, 2, 3),
    'data-empty': b'', 'data-all': bytes(range(256)), 'data-long': bytes(1000),
    'array-empty': [], 'dict-empty': {}, 'array-nested': [[['deep']], 1, 'two', {}],
    'dict-keys': {'': 'empty key', 'a<&>': {}, '\u00e9': 1, 'a\x00b': 'nul key', 'b': 'x'},
    'dict-keycr': {'k\r\nx': 'v'},
}
VALUES['everything'] = {k: v for k, v in VALUES.items()}
VALUES['deep-512'] = [VALUES['everything']]
for _ in range(510):
    VALUES['deep-512'] = [VALUES['deep-512']]


# ---- XML texts plistlib reads (or refuses) but does not write --------------------------------

HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN"'
        ' "http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n<plist version="1.0">\n')


def doc(body, tail='</plist>\n'):
    return (HEAD + body + '\n' + tail).encode('utf-8')


MAY_REFUSE = set()
XML_TEXTS = {
    'x-int-octal': doc('<integer>0123</integer>'), 'x-int-hex': doc('<integer>0x1F</integer>'),
    'x-int-plus': doc('<integer>+5</integer>'), 'x-int-neg-zero': doc('<integer>-0</integer>'),
    'x-int-empty': doc('<integer></integer>'), 'x-int-word': doc('<integer>ten</integer>'),
    'x-int-2p64': doc('<integer>18446744073709551616</integer>'),
    'x-int-below': doc('<integer>-9223372036854775809</integer>'),
    'x-int-max64': doc('<integer>18446744073709551615</integer>'),
    'x-int-min64': doc('<integer>-9223372036854775808</integer>'),
    'x-int-space': doc('<integer> 12 </integer>'), 'x-int-underscore': doc('<integer>1_000</integer>'),
    'x-real-exp': doc('<real>1.5e3</real>'), 'x-real-neg0': doc('<real>-0.0</real>'),
    'x-real-nan': doc('<real>nan</real>'), 'x-real-inf': doc('<real>-inf</real>'),
    'x-real-huge': doc('<real>1e400</real>'), 'x-real-word': doc('<real>abc</real>'),
    'x-real-int': doc('<real>7</real>'), 'x-real-empty': doc('<real></real>'),
    'x-date-dayonly': doc('<date>2010-02-03Z</date>'),
    'x-date-month13': doc('<date>2001-13-01T00:00:00Z</date>'),
    'x-date-feb30': doc('<date>2001-02-30T00:00:00Z</date>'),
    'x-date-1600': doc('<date>1600-01-01T00:00:00Z</date>'),
    'x-date-noZ': doc('<date>2001-01-01T00:00:00</date>'),
    'x-str-cr': doc('<string>a\rb</string>'), 'x-str-crlf': doc('<string>a\r\nb</string>'),
    'x-str-charref-cr': doc('<string>a&#13;b&#x41;&lt;</string>'),
    'x-str-cdata': doc('<string><![CDATA[a<b]]>c</string>'),
    'x-str-comment-inside': doc('<string>a<!-- c -->b</string>'),
    'x-key-crlf': doc('<dict><key>a\r\nb</key><string>v</string></dict>'),
    'x-data-wrapped': doc('<data>\n\tAAEC\n\tAwQ=\n</data>'),
    'x-data-junk': doc('<data>AA!EC</data>'),
    'x-trail-comment': doc('<dict/>', '</plist>\n<!-- saved by hand -->\n'),
    'x-trail-pi': doc('<dict/>', '</plist>\n<?editor keep?>\n\n'),
    'x-trail-space': doc('<dict/>', '</plist>\n\n \t\n'),
    'x-trail-text': doc('<dict/>', '</plist>\ntrailing'),
    'x-truncated': doc('<dict><key>a</key><string>b</string></dict>', '</pli'),
    'x-unclosed': doc('<dict><key>a</key><string>b</string>', ''),
    'x-no-plist': b'<?xml version="1.0"?><dict><key>a</key><integer>1</integer></dict>',
    'x-no-doctype': b'<plist version="1.0"><array><true/><false/></array></plist>',
    'x-missing-value': doc('<dict><key>a</key></dict>'),
    'x-value-no-key': doc('<dict><string>a</string></dict>'),
    'x-key-in-array': doc('<array><key>a</key></array>'),
    'x-two-roots': doc('<dict/><array/>'),
    'x-dup-key': doc('<dict><key>a</key><integer>1</integer><key>a</key><integer>2</integer></dict>'),
    'x-entity': ('<?xml version="1.0"?><!DOCTYPE plist [<!ENTITY e "boom">]>'
                 '<plist><string>&e;</string></plist>').encode(),
    'x-undefined-entity': doc('<string>&nope;</string>'),
    'x-latin1': ('<?xml version="1.0" encoding="ISO-8859-1"?>\n<plist version="1.0">'
                 '<dict><key>caf\u00e9</key><string>na\u00efve \u00ff</string></dict></plist>\n'
                 ).encode('latin-1'),
    'x-utf16le': b'\xff\xfe' + ('<?xml version="1.0" encoding="UTF-16"?>\n<plist version="1.0">'
                                '<string>\u20ac \U0001F600</string></plist>\n').encode('utf-16-le'),
    'x-utf16be': b'\xfe\xff' + ('<?xml version="1.0" encoding="UTF-16"?>\n<plist version="1.0">'
                                '<array><integer>7</integer></array></plist>\n').encode('utf-16-be'),
    'x-bom-utf8': b'\xef\xbb\xbf' + doc('<string>bom</string>'),
    'x-bad-utf8': doc('<string>aXb</string>').replace(b'X', b'\xff'),
    'x-ctrl-char': doc('<string>a\x01b</string>'),
    'x-charref-ctrl': doc('<string>a&#1;b</string>'),
    'x-charref-nul': doc('<string>a&#0;b</string>'),
    'x-unknown-element': doc('<array><foo/><string>a</string></array>'),
    'x-text-in-array': doc('<array>junk<string>a</string></array>'),
    'x-true-content': doc('<true>x</true>'),
}
MAY_REFUSE |= {'x-int-space', 'x-int-underscore', 'x-real-nan', 'x-date-dayonly', 'x-data-junk',
               'x-unknown-element', 'x-text-in-array', 'x-true-content', 'x-str-comment-inside',
               'x-int-plus', 'x-two-roots', 'x-undefined-entity'}


# ---- binary files built object by object, with damage ----------------------------------------

def bplist(objects, top=0, offset_size=4, ref_size=1, count=None, table_at=None, offsets=None):
    body = b'bplist00'
    at = []
    for obj in objects:
        at.append(len(body))
        body += obj
    if offsets is not None:
        at = offsets
    table = len(body) if table_at is None else table_at
    for offset in at:
        body += offset.to_bytes(offset_size, 'big') if offset_size else b''
    count = len(objects) if count is None else count
    return body + struct.pack('>6xBBQQQ', offset_size, ref_size, count, top, table)


def ascii_obj(text):
    return bytes([0x50 | len(text)]) + text


def utf16_obj(units):
    return bytes([0x60 | len(units) // 2]) + units


def int_obj(size_log, raw):
    return bytes([0x10 | size_log]) + raw


ARRAY1 = bytes([0xA1, 1])
BINARY_TEXTS = {
    'b-short': b'bplist00',
    'b-table-past-end': bplist([ARRAY1, ascii_obj(b'a')], table_at=10**6),
    'b-top-too-large': bplist([ascii_obj(b'a')], top=5),
    'b-top-overflow': bplist([ascii_obj(b'a')], top=2**64 - 1),
    'b-count-too-large': bplist([ascii_obj(b'a')], count=1000),
    'b-count-overflow': bplist([ascii_obj(b'a')], count=2**63),
    'b-offset-size-0': bplist([ascii_obj(b'a')], offset_size=0),
    'b-offset-size-3': bplist([ARRAY1, ascii_obj(b'a')], offset_size=3),
    'b-ref-size-0': bplist([ARRAY1, ascii_obj(b'a')], ref_size=0),
    'b-offset-past-end': bplist([ascii_obj(b'a')], offsets=[10**6]),
    'b-array-too-long': bplist([bytes([0xAF, 0x10, 200, 1]), ascii_obj(b'a')]),
    'b-ref-too-large': bplist([bytes([0xA1, 9]), ascii_obj(b'a')]),
    'b-data-too-long': bplist([bytes([0x4F, 0x13]) + (2**40).to_bytes(8, 'big') + b'ab']),
    'b-ascii-too-long': bplist([bytes([0x5F, 0x10, 99]) + b'abc']),
    'b-ascii-high': bplist([ascii_obj(b'caf\xe9')]),
    'b-utf16-too-long': bplist([bytes([0x6F, 0x10, 99]) + b'\x00a']),
    'b-utf16-lone-high': bplist([utf16_obj(b'\x00a\xd8\x00')]),
    'b-utf16-lone-low': bplist([utf16_obj(b'\xdc\x00\x00a')]),
    'b-utf16-pair': bplist([utf16_obj(b'\xd8\x3d\xde\x00')]),
    'b-utf16-nul': bplist([utf16_obj(b'\x00a\x00\x00\x00b')]),
    'b-key-array': bplist([bytes([0xD1, 1, 2]), ARRAY1, ascii_obj(b'v')]),
    'b-key-int': bplist([bytes([0xD1, 1, 2]), int_obj(0, b'\x07'), ascii_obj(b'v')]),
    'b-date-overflow': bplist([b'\x33' + struct.pack('>d', 1e20)]),
    'b-date-nan': bplist([b'\x33' + struct.pack('>d', float('nan'))]),
    'b-date-fraction': bplist([b'\x33' + struct.pack('>d', -0.25)]),
    'b-real-2bytes': bplist([b'\x21\x3c\x00']),
    'b-real-float32': bplist([b'\x22' + struct.pack('>f', 0.5)]),
    'b-set': bplist([bytes([0xC1, 1]), ascii_obj(b'a')]),
    'b-ordset': bplist([bytes([0xB1, 1]), ascii_obj(b'a')]),
    'b-null': bplist([ARRAY1, b'\x00']),
    'b-fill': bplist([ARRAY1, b'\x0f']),
    'b-uid': bplist([ARRAY1, b'\x80\x05']),
    'b-int-1byte-high': bplist([int_obj(0, b'\xff')]),
    'b-int-4byte-high': bplist([int_obj(2, b'\xff\xff\xff\xff')]),
    'b-int-16-neg': bplist([int_obj(4, b'\xff' * 16)]),
    'b-int-16-big': bplist([int_obj(4, b'\x00' * 7 + b'\x01' + b'\x00' * 8)]),
    'b-int-32bytes': bplist([int_obj(5, b'\x00' * 31 + b'\x05')]),
    'b-int-3bytes-size': bplist([b'\x16' + b'\x00' * 64]),
    'b-cycle': bplist([bytes([0xA1, 0])]),
    'b-shared': bplist([bytes([0xA2, 1, 1]), ascii_obj(b'same')]),
    'b-truncated-object': bplist([bytes([0xA2, 1])], offsets=[8]),
    'b-unknown-marker': bplist([ARRAY1, b'\x70']),
    'b-bool-in-dict': bplist([bytes([0xD1, 1, 2]), ascii_obj(b'k'), b'\x09']),
}
# Refused by choice: the fill byte, integers stored wider than 8 bytes other than 2^63 .. 2^64-1,
# a UTF-16 text holding U+0000 (libplist 2.2 aborts on one as a key).
MAY_REFUSE |= {'b-shared', 'b-fill', 'b-int-16-neg', 'b-int-32bytes', 'b-int-3bytes-size', 'b-utf16-nul'}


def generate(root):
    cases = {}
    for name, value in VALUES.items():
        for fmt, form in ((plistlib.FMT_XML, 'xml'), (plistlib.FMT_BINARY, 'bin')):
            try:
                cases[f'{name}.{form}'] = (plistlib.dumps(value, fmt=fmt, sort_keys=False), fmt)
            except (ValueError, TypeError, OverflowError):
                pass  # plistlib's XML writer refuses control characters: no such file
    cases.update({f'{n}.xml': (data, plistlib.FMT_XML) for n, data in XML_TEXTS.items()})
    cases.update({f'{n}.bin': (data, plistlib.FMT_BINARY) for n, data in BINARY_TEXTS.items()})
    for sub in ('cases', 'expected'):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    for name, (data, fmt) in sorted(cases.items()):
        lines, value = expectation(data, fmt)
        header = []
        if name.rsplit('.', 1)[0] in MAY_REFUSE:
            header.append('# may-refuse')
        if value is not None and xml_roundtrips(value):
            header.append('# xml-roundtrip')
        with open(os.path.join(root, 'cases', name), 'wb') as f:
            f.write(data)
        with open(os.path.join(root, 'expected', name), 'w') as f:
            f.write('\n'.join(header + lines) + '\n')


def reread(root):
    os.makedirs(os.path.join(root, 'reread'), exist_ok=True)
    for name in sorted(os.listdir(os.path.join(root, 'written'))):
        with open(os.path.join(root, 'written', name), 'rb') as f:
            data = f.read()
        lines, _ = expectation(data, plistlib.FMT_XML)
        with open(os.path.join(root, 'reread', name), 'w') as f:
            f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    sys.setrecursionlimit(10000)
    {'generate': generate, 'reread': reread}[sys.argv[1]](sys.argv[2])
