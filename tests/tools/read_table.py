#!/usr/bin/env python3
"""An independent reader of TARNEL tables, written from the file formats alone.

Prints, one line each, the header counts, every live record's values, the record numbers of each
index in key order and each BLOB's contents. Tests compare it with what the engine reads, so that
the files stay exactly in their documented format.

Usage: read_table.py TABLE (the path without extension)
"""
import struct
import sys

BLOCK_KEYS = (0x5A, 0xC3)
PAGE = 4096


def scramble(data, keys):
    low, high = keys
    out = bytearray(data)
    for i in range(len(out)):
        out[i] ^= (low ^ high) & 0xFF
        low = (low + 1) & 0xFF
        high = (high - 1) & 0xFF
    return bytes(out)


def short_string(data, offset, maximum):
    length = min(data[offset], maximum)
    return data[offset + 1:offset + 1 + length].decode('latin-1')


def read_header(dat):
    h = {}
    (h['ChangeCount'], h['BlobBlockSize'], h['Version'], h['FreeListHead'], h['NextRecordNo'],
     h['LastAutoInc'], h['RecordSize'], h['FieldCount'], h['BlobFieldCount'], h['LastUpdated']) = \
        struct.unpack_from('<iIBIiiHHHd', dat, 0)
    h['Encrypted'] = dat[86]
    h['LanguageId'], h['SortId'], h['UserMajorVersion'], h['UserMinorVersion'], h['ComputedSize'] = \
        struct.unpack_from('<HHHHH', dat, 103)
    return h


def read_fields(dat, count, scrambled):
    area = dat[127:127 + 768 * count]
    if scrambled:
        area = scramble(area, BLOCK_KEYS)
    fields = []
    for i in range(count):
        d = area[768 * i:768 * (i + 1)]
        f = {'FieldNo': struct.unpack_from('<H', d, 0)[0], 'FieldName': short_string(d, 2, 30),
             'FieldType': d[84], 'SubType': d[85], 'FieldSize': d[86], 'Decimals': d[87], 'PhysSize': d[88],
             'FieldOffset': struct.unpack_from('<H', d, 90)[0], 'Required': d[92]}
        fields.append(f)
    return fields


def field_value(record, field):
    t = field['FieldType']
    if t == 6 and field['SubType'] == 29:
        return struct.unpack_from('<i', record, 5)[0]
    at = field['FieldOffset']
    if record[at] == 0:
        return None
    v = record[at + 1:at + 1 + field['PhysSize']]
    if t == 1:
        return v.split(b'\0', 1)[0].hex()
    if t in (2, 6, 10, 3):
        return struct.unpack_from('<i', v)[0]
    if t in (4, 12):
        return struct.unpack_from('<H', v)[0]
    if t == 5:
        return struct.unpack_from('<h', v)[0]
    if t in (7, 11):
        return v.hex()
    if t == 8:
        return struct.unpack_from('<q', v)[0]
    return v.hex()


def read_records(dat, header, fields, scrambled):
    start = 127 + 768 * header['FieldCount']
    size = header['RecordSize']
    records = {}
    for n in range(1, header['NextRecordNo']):
        raw = dat[start + (n - 1) * size:start + n * size]
        if len(raw) < size:
            break
        if scrambled:
            raw = scramble(raw, BLOCK_KEYS)
        if raw[0] != 0:
            continue
        records[n] = {f['FieldName']: field_value(raw, f) for f in fields}
    return records


def decode_page(image, key_length, compression, suffix):
    count = struct.unpack_from('<H', image, 1)[0]
    kind = image[0]
    entries = []
    pos = 13
    previous = b''
    compressible = key_length - 4 if suffix else key_length
    for _ in range(count):
        if kind in (0, 1):
            key = image[pos:pos + key_length]
            child, subtree = struct.unpack_from('<II', image, pos + key_length)
            entries.append((key, child, subtree))
            pos += key_length + 8
            continue
        prefix = trail = 0
        if compression == 1:
            prefix = struct.unpack_from('<H', image, pos)[0] if entries else 0
            pos += 2
        elif compression == 2:
            trail = struct.unpack_from('<H', image, pos)[0]
            pos += 2
        elif compression == 3:
            prefix = image[pos] if entries else 0
            trail = image[pos + 1]
            pos += 2
        apart = suffix and trail > 0
        kept = (compressible if apart else key_length) - prefix - trail
        key = previous[:prefix] + image[pos:pos + kept] + b'\0' * trail
        pos += kept
        if apart:
            key += image[pos:pos + 4]
            pos += 4
        value = struct.unpack_from('<I', image, pos)[0]
        pos += 4
        entries.append((key, value, 0))
        previous = key
    return kind, entries, struct.unpack_from('<I', image, 7)[0]


def index_order(idx, descriptor, number, scrambled):
    def page(offset):
        image = idx[offset:offset + PAGE]
        return scramble(image, BLOCK_KEYS) if scrambled else image
    root = descriptor['RootPage']
    if root == 0:
        return []
    suffix = number not in (0, 31) and not descriptor['Unique']
    offset = root
    while True:
        kind, entries, _ = decode_page(page(offset), descriptor['KeyLength'], descriptor['Compression'], suffix)
        if kind in (2, 3):
            break
        offset = entries[0][1]
    order = []
    while offset:
        kind, entries, next_page = decode_page(page(offset), descriptor['KeyLength'], descriptor['Compression'], suffix)
        order.extend(value for _, value, _ in entries)
        offset = next_page
    return order


def read_indexes(idx, scrambled):
    header = idx[:PAGE]
    if scrambled:
        header = scramble(header, BLOCK_KEYS)
    secondary = header[13]
    result = {}
    for number in list(range(0, secondary + 1)) + [31]:
        at = 3734 if number == 31 else 14 + 120 * number
        d = header[at:at + 120]
        descriptor = {'IndexName': short_string(d, 0, 30), 'KeyLength': struct.unpack_from('<H', d, 31)[0],
                      'Unique': d[35], 'Compression': d[36], 'RootPage': struct.unpack_from('<I', d, 86)[0]}
        if descriptor['KeyLength'] == 0:
            continue
        result[str(number)] = {'name': descriptor['IndexName'],
                               'order': index_order(idx, descriptor, number, scrambled)}
    result['RecordCount'] = struct.unpack_from('<i', header, 3974)[0]
    return result


def read_blob(blb, first, block_size, owner, scrambled):
    data = b''
    total = None
    offset = first
    while offset:
        head = blb[offset:offset + 18]
        body = blb[offset + 18:offset + block_size]
        if scrambled:
            head = scramble(head, BLOCK_KEYS)
            body = scramble(body, BLOCK_KEYS)
        _, next_block, length, owner_record, total_length = struct.unpack('<IIHII', head)
        if owner_record != owner:
            raise ValueError('block %d owned by record %d, not %d' % (offset, owner_record, owner))
        if total is None:
            total = total_length
        data += body[:length]
        offset = next_block
    return data[:total].hex()


def main():
    base = sys.argv[1]
    with open(base + '.DAT', 'rb') as f:
        dat = f.read()
    header = read_header(dat)
    scrambled = header['Encrypted'] != 0
    fields = read_fields(dat, header['FieldCount'], scrambled)
    records = read_records(dat, header, fields, scrambled)
    with open(base + '.IDX', 'rb') as f:
        idx = f.read()
    indexes = read_indexes(idx, scrambled)
    blobs = {}
    if header['BlobFieldCount']:
        with open(base + '.BLB', 'rb') as f:
            blb = f.read()
        block_size = header['BlobBlockSize'] or 512
        for n, record in records.items():
            for field in fields:
                if field['FieldType'] == 3 and record[field['FieldName']]:
                    blobs['%d/%s' % (n, field['FieldName'])] = read_blob(
                        blb, record[field['FieldName']], block_size, n, scrambled)
    print('header %d %d %d' % (header['NextRecordNo'], header['LastAutoInc'], indexes['RecordCount']))
    for n in sorted(records):
        values = ' '.join('%s=%s' % (f['FieldName'], '-' if records[n][f['FieldName']] is None else records[n][f['FieldName']])
                          for f in fields if f['FieldType'] != 3)
        print('record %d %s' % (n, values))
    for number in sorted(k for k in indexes if k != 'RecordCount'):
        print('index %s %s' % (number, ' '.join(str(n) for n in indexes[number]['order'])))
    for key in sorted(blobs):
        print('blob %s %s' % (key, blobs[key]))


if __name__ == '__main__':
    main()
