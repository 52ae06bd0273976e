#!/usr/bin/env python3
"""Makes the demo res/pellune.db: the code dictionary table `qdic`, empty.

The seeded dictionary version is "0", so the terminal asks the market-data
server for the whole dictionary at its first connection and fills the table.

    python3 make_demo_db.py <path of pellune.db>
"""
import os
import sqlite3
import sys


def main():
    path = sys.argv[1]
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("CREATE TABLE qdic (marketid INTEGER, type INTEGER, code TEXT, name TEXT, abb TEXT)")
    db.execute("CREATE UNIQUE INDEX qdic_key ON qdic (marketid, code)")
    db.commit()
    db.close()


if __name__ == "__main__":
    main()
